// Interrupts at random moments of whole runs: the real executable with the
// recording doubles, whose SDL_Delay really sleeps so every phase takes real
// time. Each run is sent SIGINT once, or twice, somewhere in start-up, the
// intro, the scene, the fades or the credits; every run must go on to the
// fades and the credits, shut down in order and exit with 0.
//
// The two halves are separate tests so that ctest runs them two at a time.
// A failing run names the seed of its half, to be replayed with
// INTRO_STRESS_SEED=<seed>.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace {

using e2e::Lines;

enum Phase { start_up, intro, scene, fades, credits, phase_count };
const std::array<const char*, phase_count> phase_names = {"start-up", "intro", "scene", "fades", "credits"};

constexpr int runs_per_half = 25;
// Frames, counted from the first, after which Escape ends a scene that no
// interrupt is aimed at: well after the intro.
constexpr int escape_after_flip = 2500;
constexpr int fade_steps = 20;    // frames of one fade to black
constexpr int intro_delays = 230; // SDL_Delay calls of the intro, at least
constexpr int start_up_hold_ms = 60;
constexpr int exit_hold_ms = 60;

int count_exactly(const Lines& log, const std::string& line) {
  return int(std::count(log.begin(), log.end(), line));
}

// Where the first line equal to `line` is in the log (the log's size if none).
size_t index_of(const Lines& log, const std::string& line) {
  return size_t(std::find(log.begin(), log.end(), line) - log.begin());
}

// The log prefixes name moments of one phase: the intro's and the fades'
// delays, the music thread's polling during the scene, the credits' typing.
// A prefix also matches longer lines ("SDL_Delay 1" matches "SDL_Delay 10"),
// which the counts allow for: the first fade's 20 delays come before any
// other line that starts "SDL_Delay 1".
e2e::InterruptPoint random_point(Phase phase, int credit_bytes, std::mt19937& generator) {
  const auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(generator); };
  switch (phase) {
    case start_up: {
      // Not earlier: before the display opens the handler may not be installed yet.
      const char* lines[] = {"SDL_SetVideoMode", "SDL_ShowCursor"};
      return {lines[pick(0, 1)], 1};
    }
    case intro: return {"SDL_Delay 5", pick(1, intro_delays)};
    case scene: return {"Player_Active", pick(1, 100)};
    case fades:
      // The first fade, or the second after the credits' typing and hold.
      return {"SDL_Delay 1", pick(0, 1) == 0 ? pick(1, fade_steps) : fade_steps + credit_bytes + 1 + pick(1, fade_steps)};
    case credits: return pick(0, 5) == 0 ? e2e::InterruptPoint{"SDL_Delay 1500", 1}
                                         : e2e::InterruptPoint{"SDL_Delay 10", pick(1, credit_bytes)};
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

bool aims_at_start_up(const std::vector<e2e::InterruptPoint>& points) {
  return std::any_of(points.begin(), points.end(), [](const e2e::InterruptPoint& point) {
    return point.on.compare(0, 4, "SDL_") != 0 || point.on == "SDL_SetVideoMode" || point.on == "SDL_ShowCursor";
  });
}

bool aims_at_scene(const std::vector<e2e::InterruptPoint>& points) {
  return std::any_of(points.begin(), points.end(),
                     [](const e2e::InterruptPoint& point) { return point.on == "Player_Active"; });
}

// The events come last in the environment, so a run aimed at the scene can
// drop them.
e2e::RunOptions stress_options(const e2e::Sandbox& sandbox) {
  sandbox.write_stand_in_assets();
  e2e::RunOptions options;
  options.environment = {{"INTRO_DOUBLE_REAL_DELAY", "1"},
                         {"INTRO_DOUBLE_EVENTS", "after_flip=" + std::to_string(escape_after_flip) + ":keydown=27"}};
  options.timeout_seconds = 60;
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

unsigned seed_for(int half) {
  if (const char* chosen = std::getenv("INTRO_STRESS_SEED")) return unsigned(std::strtoul(chosen, nullptr, 10));
  return std::random_device{}() + unsigned(half);
}

void run_half(int half) {
  const unsigned seed = seed_for(half);
  SCOPED_TRACE("INTRO_STRESS_SEED=" + std::to_string(seed));
  std::mt19937 generator(seed);
  e2e::Sandbox sandbox;
  const e2e::RunOptions base = stress_options(sandbox);

  // A run with no interrupt gives the length of the credits text.
  const e2e::RunResult plain = sandbox.run(base);
  const int credit_bytes = count_exactly(plain.log, "SDL_Delay 10");
  ASSERT_GT(credit_bytes, 0);
  expect_complete_run(plain, credit_bytes);

  std::array<int, phase_count> landed{};
  int interrupts = 0;
  for (int run = 0; run < runs_per_half; ++run) {
    e2e::RunOptions options = base;
    const Phase first = Phase((run + half) % phase_count);
    options.interrupt_points.push_back(random_point(first, credit_bytes, generator));
    if (run % 3 == 2) {  // some runs are sent a second interrupt, in any phase
      const Phase second = Phase(generator() % phase_count);
      // The first interrupt in the scene ends the music thread's polling, so a
      // second one there follows the first at once.
      options.interrupt_points.push_back(second == scene && first == scene
                                             ? options.interrupt_points.front()
                                             : random_point(second, credit_bytes, generator));
    }
    // A scene that an interrupt is aimed at is left to that interrupt: the
    // music thread's polls it counts may lag behind the frames on a busy
    // machine, and an Escape after a fixed number of frames could come first.
    if (aims_at_scene(options.interrupt_points)) options.environment.pop_back();
    // Every run lingers in SDL_Quit, so an interrupt aimed at the last delays
    // of the second fade is sent before the process is gone; one aimed at
    // start-up lingers there too, or start-up is over in milliseconds.
    std::string holds = "SDL_Quit:" + std::to_string(exit_hold_ms);
    if (aims_at_start_up(options.interrupt_points)) holds += ",SDL_ShowCursor:" + std::to_string(start_up_hold_ms);
    options.environment.emplace_back("INTRO_DOUBLE_HOLD", holds);

    const e2e::RunResult result = sandbox.run(options);
    std::string plan;
    for (const e2e::InterruptPoint& point : options.interrupt_points)
      plan += " [" + point.on + " #" + std::to_string(point.count) + "]";
    SCOPED_TRACE("run " + std::to_string(run) + ", interrupts at" + plan);
    EXPECT_EQ(result.log_lines_at_interrupts.size(), options.interrupt_points.size()) << "every interrupt was sent";
    expect_complete_run(result, credit_bytes);
    for (size_t lines : result.log_lines_at_interrupts) ++landed[phase_at(result.log, lines)];
    interrupts += int(result.log_lines_at_interrupts.size());
  }
  std::cout << runs_per_half << " runs, " << interrupts << " interrupts, landed in:";
  for (int phase = 0; phase < phase_count; ++phase) std::cout << " " << phase_names[phase] << " " << landed[phase];
  std::cout << "\n";
}

TEST(InterruptStress, FirstHalfOfFiftyRuns) { run_half(0); }
TEST(InterruptStress, SecondHalfOfFiftyRuns) { run_half(1); }

}  // namespace
