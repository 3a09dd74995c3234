#include "scene/anim_state.h"

#include <gtest/gtest.h>

#include <thread>
#include <tuple>

// Before the first tick the logo stays where the intro left it, and the
// bounce starts from there; afterwards the bounce's position is truncated.
// Two ticks wrap the angle from 639 to 1 and stop the fade at 255.
TEST(Tick, AdvancesEveryFieldAndTheLogoStartsWhereTheIntroLeftIt) {
  AnimState state;
  start_logo_bounce(state);
  EXPECT_EQ(state.tick, 128);
  EXPECT_EQ(logo_row(state, 7), 7);
  EXPECT_EQ(state.logo_y, 7.0);
  state.logo_y = 3.99;
  EXPECT_EQ(logo_row(state, 7), 3);
  state.angle = 639;
  state.fade = 254;
  state.scroll_x = 640.0;
  advance_tick(state);
  advance_tick(state);
  EXPECT_EQ(
      std::tuple(state.angle.load(), state.fade.load(), state.tick.load(), state.scroll_x.load(), state.phase.load()),
      std::tuple(int16_t{1}, uint8_t{255}, 130, 638.0, 3.0));
}

// The speed grows by 0.005 (formed in double, stored in single precision),
// up to 1; the floor and the top row are passed only strictly: landing on
// 8.0 or on 0.0 exactly keeps the speed. 0.495f + 0.005 rounds to 0.5f and
// -0.505f + 0.005 to -0.5f, so those sums are exact. The unset marker -128
// is above the top row.
TEST(Tick, OnlyPassingTheFloorOrTheTopRowTurnsTheLogo) {
  struct Case { double y; float velocity; double y_after; float velocity_after; };
  for (const Case& c : {Case{0.0, 0.0f, double{0.005f}, 0.005f}, {7.5, 0.495f, 8.0, 0.5f}, {7.5, 0.5f, 8.0, -0.5f},
                        {0.5, -0.505f, 0.0, -0.5f}, {0.5, -0.51f, 0.0, 0.0f}, {4.0, 1.0f, 5.0, 1.0f},
                        {logo_y_unset, 0.0f, 0.0, 0.0f}}) {
    AnimState state;
    state.logo_y = c.y;
    state.velocity = c.velocity;
    advance_tick(state);
    EXPECT_EQ(state.logo_y, c.y_after) << c.y << " at " << c.velocity;
    EXPECT_EQ(state.velocity, c.velocity_after) << c.y << " at " << c.velocity;
  }
}

// The clock ends at once when running is 0, and ticks until it is cleared.
// (The music thread is seen in the whole runs' music calls: SceneRun.)
TEST(Threads, ClockTicksWhileRunningAndEndsWhenRunningIsCleared) {
  AnimState state;
  std::thread(clock_thread, &state).join();
  EXPECT_EQ(state.tick, 0);
  state.running = 1;
  std::thread clock(clock_thread, &state);
  while (state.tick < 3) std::this_thread::yield();
  state.running = 0;
  clock.join();
}
