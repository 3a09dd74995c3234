#include "gfx/fast_paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

void plain() {}

// CTest runs the unit tests a second time with INTRO_FAST_PATHS=off, so that
// every comparison with the references covers the plain versions as well.
TEST(FastPaths, OffInTheEnvironmentTakesThePlainVersions) {
  const char* setting = std::getenv("INTRO_FAST_PATHS");
  if (setting != nullptr && std::string(setting) == "off") {
    EXPECT_FALSE(fast_paths_on());
  }
  EXPECT_EQ(chosen_path<void (*)()>(plain, nullptr), plain);  // no fast version compiled
}

}  // namespace
