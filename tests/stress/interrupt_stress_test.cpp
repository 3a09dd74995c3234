// Interrupts in every phase of whole runs: the real executable with the
// recording doubles. On the simulated clock each run is sent SIGINT once, or
// twice, at a chosen moment of start-up (after the handler is installed), the
// intro, the scene, the fades or the credits, so every phase is hit by
// construction; a few runs on the real clock are sent real signals at random
// real moments, for the races that only real timing finds. Every run must go
// on to the fades and the credits, shut down in order and exit with 0.
//
// A failing run names the seed of its test, to be replayed with
// INTRO_STRESS_SEED=<seed>.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace {

using e2e::index_of;
using e2e::Lines;

enum Phase { start_up, intro, scene, fades, credits, phase_count };
const std::array<const char*, phase_count> phase_names = {"start-up", "intro", "scene", "fades", "credits"};

constexpr int runs_per_phase = 10;
constexpr int real_time_runs = 3;
// Frames of the scene after which Escape ends it when no interrupt does.
constexpr long scene_frames = 200;
constexpr int fade_steps = 20;    // frames of one fade to black
constexpr int intro_delays = 230; // SDL_Delay calls of the intro, at least

int count_exactly(const Lines& log, const std::string& line) {
  return int(std::count(log.begin(), log.end(), line));
}

// What a run without interrupts shows: the credits' length and how often the
// music thread polls in the scene.
struct Plain {
  int credit_bytes;
  int scene_polls;
};

// The log prefixes name moments of one phase: the intro's and the fades'
// delays, the music thread's polling during the scene, the credits' typing.
// A prefix also matches longer lines ("SDL_Delay 1" matches "SDL_Delay 10"),
// which the counts allow for: the first fade's 20 delays come before any
// other line that starts "SDL_Delay 1".
e2e::InterruptPoint random_point(Phase phase, const Plain& plain, std::mt19937& generator) {
  const auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(generator); };
  const int bytes = plain.credit_bytes;
  switch (phase) {
    case start_up: {
      const char* lines[] = {"SDL_SetVideoMode", "SDL_ShowCursor"};  // the handler is installed before both
      return {lines[pick(0, 1)], 1};
    }
    case intro: return {"SDL_Delay 5", pick(1, intro_delays)};
    case scene: return {"Player_Active", pick(1, plain.scene_polls)};
    case fades:
      // The first fade, or the second after the credits' typing and hold.
      return {"SDL_Delay 1", pick(0, 1) == 0 ? pick(1, fade_steps) : fade_steps + bytes + 1 + pick(1, fade_steps)};
    case credits: return pick(0, 5) == 0 ? e2e::InterruptPoint{"SDL_Delay 1500", 1}
                                         : e2e::InterruptPoint{"SDL_Delay 10", pick(1, bytes)};
    default: return {};
  }
}

// The phase a run was in when `lines` log lines had been written.
Phase phase_at(const Lines& log, size_t lines) {
  if (lines <= index_of(log, "SDL_ShowCursor 0") + 1) return start_up;
  if (lines <= index_of(log, "Player_Start module wrap=1")) return intro;
  if (lines <= index_of(log, "MikMod_Exit") + 1) return scene;
  if (lines <= index_of(log, "SDL_Delay 10")) return fades;
  if (lines <= index_of(log, "SDL_Delay 1500") + 1) return credits;
  return fades;
}

e2e::RunOptions stress_options(const e2e::Sandbox& sandbox) {
  sandbox.write_stand_in_assets();
  e2e::RunOptions options;
  options.environment = {
      {"INTRO_DOUBLE_EVENTS", "after_flip=" + std::to_string(e2e::intro_flips + scene_frames) + ":keydown=27"}};
  return options;
}

// Everything a run must show, whenever its interrupts came.
void expect_complete_run(const e2e::RunResult& result, int credit_bytes) {
  EXPECT_FALSE(result.timed_out);
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.out + result.err, "");
  const Lines& log = result.log;
  EXPECT_EQ(count_exactly(log, "Player_Start module wrap=1"), 1) << "the scene ran";
  EXPECT_EQ(count_exactly(log, "Player_Free module"), 1);
  EXPECT_EQ(count_exactly(log, "SDL_Delay 1"), 2 * fade_steps) << "both fades ran";
  EXPECT_EQ(count_exactly(log, "SDL_Delay 10"), credit_bytes) << "the credits were typed in full";
  EXPECT_EQ(count_exactly(log, "SDL_Delay 1500"), 1) << "the credits were held";
  EXPECT_LT(index_of(log, "MikMod_Exit"), index_of(log, "SDL_Delay 1")) << "the fades follow the scene";
  e2e::expect_orderly_end(result);
}

unsigned chosen_seed() {
  if (const char* chosen = std::getenv("INTRO_STRESS_SEED")) return unsigned(std::strtoul(chosen, nullptr, 10));
  return std::random_device{}();
}

Plain plain_run(const e2e::Sandbox& sandbox, const e2e::RunOptions& options) {
  const e2e::RunResult result = sandbox.run(options);
  const Lines& log = result.log;
  const Plain plain{count_exactly(log, "SDL_Delay 10"),
                    int(std::count(log.begin() + long(index_of(log, "Player_Start module wrap=1")),
                                   log.begin() + long(index_of(log, "Player_Stop")), "Player_Active"))};
  EXPECT_GT(plain.credit_bytes, 0);
  EXPECT_GT(plain.scene_polls, 0);
  expect_complete_run(result, plain.credit_bytes);
  return plain;
}

TEST(InterruptStress, EveryPhaseAtChosenSimulatedMoments) {
  const unsigned seed = chosen_seed();
  SCOPED_TRACE("INTRO_STRESS_SEED=" + std::to_string(seed));
  std::mt19937 generator(seed);
  e2e::Sandbox sandbox;
  const e2e::RunOptions base = stress_options(sandbox);
  const Plain plain = plain_run(sandbox, base);
  if (HasFailure()) return;

  for (int run = 0; run < runs_per_phase * phase_count; ++run) {
    e2e::RunOptions options = base;
    std::vector<Phase> aimed{Phase(run % phase_count)};
    if (run % 3 == 2) aimed.push_back(Phase(generator() % phase_count));  // a second interrupt, in any phase
    for (const Phase phase : aimed) {
      // The first interrupt in the scene ends the music thread's polling, so
      // a second one there comes with the first.
      const bool again_in_scene = phase == scene && options.interrupt_points.size() == 1 && aimed[0] == scene;
      options.interrupt_points.push_back(again_in_scene ? options.interrupt_points[0]
                                                        : random_point(phase, plain, generator));
    }
    const e2e::RunResult result = sandbox.run(options);
    std::string plan;
    for (const e2e::InterruptPoint& point : options.interrupt_points)
      plan += " [" + point.on + " #" + std::to_string(point.count) + "]";
    SCOPED_TRACE("run " + std::to_string(run) + ", interrupts at" + plan);
    expect_complete_run(result, plain.credit_bytes);
    ASSERT_EQ(result.log_lines_at_interrupts.size(), aimed.size()) << "every interrupt was sent";
    std::vector<Phase> landed;
    for (size_t lines : result.log_lines_at_interrupts) landed.push_back(phase_at(result.log, lines));
    std::sort(aimed.begin(), aimed.end());
    std::sort(landed.begin(), landed.end());
    EXPECT_EQ(landed, aimed) << "aimed first at " << phase_names[run % phase_count];
  }
}

// The doubles' delays really sleep; the signal comes every few tens to
// hundreds of milliseconds from the display's opening to the end, so the
// first ends the scene and the others fall anywhere after.
TEST(InterruptStress, RealSignalsAtRandomRealMoments) {
  const unsigned seed = chosen_seed();
  SCOPED_TRACE("INTRO_STRESS_SEED=" + std::to_string(seed));
  std::mt19937 generator(seed);
  e2e::Sandbox sandbox;
  e2e::RunOptions options = stress_options(sandbox);
  options.real_time = true;
  options.environment.emplace_back("INTRO_DOUBLE_REAL_DELAY", "1");
  const int credit_bytes = plain_run(sandbox, stress_options(sandbox)).credit_bytes;
  for (int run = 0; run < real_time_runs; ++run) {
    options.interrupt_every_ms = std::uniform_int_distribution<int>(20, 400)(generator);
    SCOPED_TRACE("an interrupt every " + std::to_string(options.interrupt_every_ms) + " ms");
    expect_complete_run(sandbox.run(options), credit_bytes);
  }
}

}  // namespace
