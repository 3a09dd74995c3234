// Interrupts (SIGINT, or SIGTERM, which ends a run the same way) at chosen
// simulated moments of every phase of a whole run: each is sent by the
// double that logs the chosen line, right after it, so every phase is hit by
// construction. Only one in the scene's loop ends it, after the frame in
// progress; one before it is undone when the scene starts, and later ones
// are ignored. Every run still goes through the scene, the fades and the
// credits, shuts down in order and exits with 0.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/harness.h"

namespace {

using e2e::index_of;
using e2e::Lines;

enum Phase { start_up, intro, scene, fades, credits };

// The phase a run was in at line `line` of its log.
Phase phase_at(const Lines& log, size_t line) {
  if (line <= index_of(log, "SDL_ShowCursor 0") + 1) return start_up;
  if (line < index_of(log, "Player_Start module wrap=1")) return intro;
  if (line <= index_of(log, "MikMod_Exit") + 1) return scene;
  if (line < index_of(log, "SDL_Delay 10")) return fades;
  if (line <= index_of(log, "SDL_Delay 1500") + 1) return credits;
  return fades;
}

TEST(Interrupts, AtChosenMomentsOfEveryPhaseTheRunStillEndsInOrder) {
  constexpr long scene_frames = 30;  // Escape ends the loop in this frame unless an interrupt does first
  struct Case {
    std::string points;  // "prefix@n;...": right after the n-th log line that starts with prefix
    std::vector<Phase> phases;
    int signal;
    long frames;  // of the loop; 0 where the moment depends on the music thread's polls
  };
  // A prefix also matches longer lines: "SDL_Delay 1" counts the first fade's
  // 20 waits, the 113 of the credits, their hold, then the second fade's 20.
  const Case cases[] = {
      {"SDL_SetVideoMode@1", {start_up}, SIGINT, scene_frames},  // the handler is installed before both
      {"SDL_ShowCursor@1", {start_up}, SIGTERM, scene_frames},
      {"SDL_UpdateRect@1", {intro}, SIGINT, scene_frames},    // the logo's fade-in
      {"SDL_Delay 5@60", {intro}, SIGTERM, scene_frames},     // its rise
      {"SDL_Delay 500@1", {intro}, SIGINT, scene_frames},     // the pause
      {"SDL_Delay 5@234", {intro}, SIGTERM, scene_frames},    // 51 + 23 + 160: the last divider step
      {"SDL_PollEvent@3", {scene}, SIGINT, 3},
      {"SDL_PollEvent@1", {scene}, SIGTERM, 1},
      {"Player_Active@2", {scene}, SIGINT, 0},
      {"SDL_Delay 1@1", {fades}, SIGTERM, scene_frames},
      {"SDL_Delay 1@154", {fades}, SIGINT, scene_frames},     // 20 + 113 + 1 + 20: the second fade's last
      {"SDL_Delay 10@1", {credits}, SIGTERM, scene_frames},
      {"SDL_Delay 1500@1", {credits}, SIGINT, scene_frames},  // the hold
      {"SDL_ShowCursor@1;SDL_PollEvent@5", {start_up, scene}, SIGTERM, 5},
      {"SDL_Delay 500@1;SDL_Delay 10@113", {intro, credits}, SIGINT, scene_frames},
      {"SDL_PollEvent@2;SDL_Delay 1@20", {scene, fades}, SIGINT, 2},
  };
  e2e::Sandbox sandbox;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.points + (c.signal == SIGINT ? " SIGINT" : " SIGTERM"));
    e2e::RunOptions options;
    options.interrupt_signal = c.signal;
    options.environment = {"INTRO_DOUBLE_INTERRUPT=" + c.points, "INTRO_DOUBLE_EVENTS=" + e2e::escape_in_frame(scene_frames)};
    const e2e::RunResult result = sandbox.run(options);
    EXPECT_EQ(result.out + result.err, "");
    e2e::expect_orderly_end(result);
    EXPECT_EQ(e2e::matching(result.log, {"Player_Free module"}).size(), 1u) << "the scene ran";
    const size_t frames = e2e::matching(result.log, {"SDL_PollEvent none"}).size();
    EXPECT_TRUE(c.frames == 0 || frames == size_t(c.frames)) << frames << " frames";
    std::vector<Phase> landed;
    for (size_t line = 0; line < result.log.size(); ++line)
      if (result.log[line] == "interrupt sent") landed.push_back(phase_at(result.log, line));
    EXPECT_EQ(landed, c.phases) << "the phases, counted from start-up as 0";
  }
}

}  // namespace
