#include "gfx/fast_paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

// CTest's .plain copies set INTRO_FAST_PATHS=off, so that every comparison
// with the references covers the plain versions as well.
TEST(FastPaths, OffInTheEnvironmentTakesThePlainVersions) {
  const char* setting = std::getenv("INTRO_FAST_PATHS");
  if (setting != nullptr && std::string(setting) == "off") { EXPECT_FALSE(fast_paths_on()); }
  void (*const plain)() = [] {};
  EXPECT_EQ(chosen_path(plain, static_cast<void (*)()>(nullptr)), plain);  // no fast version compiled
}
