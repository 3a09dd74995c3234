// The intro with the system's SDL 1.2 (dummy video driver) and libmikmod and
// the generated assets, on a machine with no display and no sound card.
#include <gtest/gtest.h>

#include "e2e/harness.h"

namespace {

// No key can be pressed here and no call is logged, so time tells the phases
// apart. The intro's fixed delays take about 1.7 s, so four seconds in the
// scene is in its frame loop, which only an interrupt ends; the fades and the
// credits page after it wait at least 2.67 s (2 × 20 × 1 ms, 113 × 10 ms and
// the 1.5 s hold). A scene skipped for want of music would have ended the
// whole run before the interrupt. Without a sound card the music library only
// starts on its silent driver, and a module loaded after a failed start
// would crash the process.
TEST(RealLibraries, FrameLoopEndsOnAnInterruptThenFadesAndCreditsAndExitZero) {
  e2e::Sandbox sandbox(e2e::Library::system_sdl, e2e::Library::system_mikmod);
  sandbox.link_generated_assets();
  e2e::RunOptions options;
  options.interrupt_every_ms = 4000;  // ignored outside the scene, should the set-up be slow
  const e2e::RunResult result = sandbox.run(options);
  EXPECT_EQ(result.signal, 0);
  EXPECT_EQ(result.exit_status, 0) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err.find("without music"), std::string::npos) << result.err;
  EXPECT_GE(result.seconds, 4.0 + 2.67);
  EXPECT_TRUE(result.log.empty()) << "no double was loaded";
}

}  // namespace
