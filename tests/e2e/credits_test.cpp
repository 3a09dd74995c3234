// The credits page of the real executable, seen through the recording media
// library. Without a module the scene shows nothing, so the page is typed
// onto a black display and its last frame holds nothing but the credits.
#include <gtest/gtest.h>

#include <cstdint>
#include <ios>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace {

// Glyph slots of the font sheets, in cell order (89 characters in 92 bytes).
const std::string character_order =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz.,!?*-\"&/':~@+<>()[]1234567890{}%=$\u20ac\u00a9";

const char* const credit_lines[] = {
    "credits",
    "~~~~~~~~~~~~~~~~~~~~",
    "code: ...... v4rd1an",
    "music: ...... grovik",
    "gfx: ....... v4rd1an",
    "handyman: .... 7zUmO",
};

// Glyph i of the test's small font: an opaque block whose byte 0 is i + 1,
// so a pixel tells which glyph drew it, inked in cell columns 0..3 + i % 4.
// The atlas trims a glyph to its inked columns less the last, so glyph i is
// 3 + i % 4 pixels wide: narrower than the 8-pixel advance.
int glyph_width(int index) { return 3 + index % 4; }
uint32_t glyph_colour(int index) { return 0xffc0a000u | uint32_t(index + 1); }

std::vector<uint32_t> indexed_font_sheet() {
  std::vector<uint32_t> pixels(256 * 96);
  for (int index = 0; index < 92; ++index) {
    const int left = index % 16 * 16, top = index / 16 * 16;
    for (int y = top; y < top + 16; ++y)
      for (int x = left; x <= left + glyph_width(index); ++x) pixels[size_t(y) * 256 + size_t(x)] = glyph_colour(index);
  }
  return pixels;
}

// The page as typed: each line from column 240, 16 rows below the one
// before, the pen 8 pixels on after every byte.
std::vector<uint32_t> expected_page() {
  std::vector<uint32_t> page(640 * 480, 0);
  for (int line = 0; line < 6; ++line) {
    const std::string text = credit_lines[line];
    for (size_t k = 0; k < text.size(); ++k) {
      if (text[k] == ' ') continue;
      const int index = int(character_order.find(text[k]));
      const int left = 240 + 8 * int(k), top = 170 + 16 * line;
      for (int y = top; y < top + 16; ++y)
        for (int x = left; x < left + glyph_width(index); ++x) page[size_t(y) * 640 + size_t(x)] = glyph_colour(index);
    }
  }
  return page;
}

TEST(CreditsRun, EveryGlyphLandsAtItsPenPositionOnePresentPerByte) {
  e2e::Sandbox sandbox;
  sandbox.write_stand_in_assets();
  sandbox.remove_file("data/data05.dt");
  sandbox.write_image("data/data02.dt", 256, 96, indexed_font_sheet());
  e2e::RunOptions options;
  constexpr long last_credits_flip = 20 + e2e::credit_bytes;  // after the first fade
  options.save_flips = {last_credits_flip};
  const e2e::RunResult result = sandbox.run(options);
  EXPECT_EQ(result.exit_status, 1);  // for the missing module

  const e2e::Frame frame = sandbox.flip_frame(last_credits_flip);
  ASSERT_EQ(frame.pixels.size(), 640u * 480u);
  const std::vector<uint32_t> expected = expected_page();
  long wrong = 0;
  for (size_t i = 0; i < expected.size(); ++i)
    if (frame.pixels[i] != expected[i] && ++wrong <= 5)
      ADD_FAILURE() << "pixel " << i % 640 << "," << i / 640 << " is " << std::hex << frame.pixels[i] << ", not "
                    << expected[i];
  EXPECT_EQ(wrong, 0);
  // Spaces and newlines cost a present and a wait too.
  EXPECT_EQ(result.calls_starting_with("SDL_Delay 10").size(), size_t(e2e::credit_bytes));
}

}  // namespace
