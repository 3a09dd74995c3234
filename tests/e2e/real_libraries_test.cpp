// The intro with the system's SDL 1.2 (dummy video driver) and libmikmod: it
// must run to its end on a machine with no display and no sound card.
#include <gtest/gtest.h>

#include "e2e/harness.h"

namespace {

TEST(RealLibraries, RunToTheEndWithoutDisplayOrSoundCard) {
  e2e::Sandbox sandbox(e2e::Library::system_sdl, e2e::Library::system_mikmod);
  sandbox.write_stand_in_assets();
  for (const char* mode : {"", "windowed"}) {
    e2e::RunOptions options;
    if (*mode != '\0') options.arguments = {mode};
    // No key can be pressed here; interrupts end the main scene, and are
    // ignored outside it.
    options.interrupt_every_ms = 250;
    const e2e::RunResult result = sandbox.run(options);
    EXPECT_EQ(result.exit_status, 0) << mode << "\n" << result.out << result.err;
    EXPECT_EQ(result.out, "") << mode;
    EXPECT_TRUE(result.log.empty()) << "no double was loaded";
  }
}

}  // namespace
