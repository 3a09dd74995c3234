// A few whole runs on the real clock, for the races that only real timing
// finds: the doubles' delays really sleep, and a real signal (SIGINT or
// SIGTERM) comes every few tens to hundreds of milliseconds from the
// display's opening to the end, so one ends the scene and the others fall
// anywhere after. Every run must go on to the fades and the credits, shut
// down in order and exit with 0. A failing run names its seed, to be replayed
// with INTRO_STRESS_SEED=<seed>.
#include <random>

#include "e2e/harness.h"  // with GoogleTest and the standard headers it uses

namespace {

using namespace e2e;

TEST(InterruptStress, RealSignalsAtRandomRealMoments) {
  const char* chosen = std::getenv("INTRO_STRESS_SEED");
  const unsigned seed = chosen != nullptr ? unsigned(std::strtoul(chosen, nullptr, 10)) : std::random_device{}();
  SCOPED_TRACE("INTRO_STRESS_SEED=" + std::to_string(seed));
  std::mt19937 generator(seed);
  Sandbox sandbox;
  for (const int signal_number : {SIGINT, SIGTERM, SIGINT}) {
    const int every_ms = std::uniform_int_distribution<int>(20, 400)(generator);
    SCOPED_TRACE("signal " + std::to_string(signal_number) + " every " + std::to_string(every_ms) + " ms");
    const Lines environment{"INTRO_DOUBLE_REAL_DELAY=1", "INTRO_DOUBLE_EVENTS=" + in_frame(10000)};
    const RunResult result = sandbox.run({environment, {}, true, every_ms, signal_number});
    expect_orderly_end(result);
    EXPECT_EQ(matching(result.log, {"Player_Free module"}).size(), 1u) << "the scene ran";
  }
}

}  // namespace
