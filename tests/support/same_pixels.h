// The check of every drawing operation that has a fast path: the path this
// run takes (the AVX2 one, or the plain one in CTest's .plain copies, which
// set INTRO_FAST_PATHS=off; the check makes sure it is off there) gives the
// literal reference's pixels (tests/reference) bit for bit from the same
// starting picture. Each test also pins the operation to a few values worked
// out by hand.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "gfx/fast_paths.h"
#include "gfx/frame.h"

// Random words, so that every byte value, alpha included, turns up.
inline std::vector<uint32_t> noise(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint32_t> words(count);
  for (uint32_t& word : words) word = random();
  return words;
}

// `draw` works on a view of one copy of `start` (rows `width` apart),
// `reference` on the words of another.
template <typename Draw, typename Reference>
::testing::AssertionResult same_pixels(std::vector<uint32_t> start, int width, Draw draw, Reference reference) {
  const char* setting = std::getenv("INTRO_FAST_PATHS");
  if (fast_paths_on() && setting != nullptr && std::string(setting) == "off")
    return ::testing::AssertionFailure() << "INTRO_FAST_PATHS=off left the fast paths on";
  std::vector<uint32_t> drawn = start;
  draw(FrameView{drawn.data(), width, int(drawn.size() / size_t(width)), width});
  reference(start.data());
  const auto difference = std::mismatch(drawn.begin(), drawn.end(), start.begin());
  if (difference.first == drawn.end()) return ::testing::AssertionSuccess();
  const size_t at = size_t(difference.first - drawn.begin());
  return ::testing::AssertionFailure() << "pixel " << at % size_t(width) << "," << at / size_t(width) << " is 0x"
                                       << std::hex << *difference.first << ", the reference's 0x" << *difference.second;
}
