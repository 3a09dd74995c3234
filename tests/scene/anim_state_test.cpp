#include "scene/anim_state.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <chrono>
#include <thread>

#include "platform/entry_points.h"
#include "support/call_log.h"

namespace {

// The angle wraps from 639 to 0, the fade stops at 255, the rest only counts.
TEST(Tick, AdvancesEveryFieldOnceAngleWrapsFadeSaturates) {
  AnimState state;
  state.tick = 128;
  state.scroll_x = 640.0;
  for (int n = 1; n <= 1300; ++n) {
    advance_tick(state);
    ASSERT_EQ(state.angle, n % 640);
    ASSERT_EQ(state.fade, n < 255 ? n : 255);
  }
  EXPECT_EQ(state.tick, 128 + 1300);
  EXPECT_EQ(state.scroll_x, 640.0 - 1300);
  EXPECT_EQ(state.phase, 1.5 * 1300);
}

TEST(Tick, FirstTickFromRestAndTheUnsetMarker) {
  AnimState state;
  advance_tick(state);
  EXPECT_EQ(state.velocity, 0.005f);
  EXPECT_EQ(state.logo_y, double{0.005f});

  AnimState marked;
  marked.velocity = 0.3f;
  start_logo_bounce(marked);
  EXPECT_EQ(marked.tick, 128);
  advance_tick(marked);
  EXPECT_EQ(marked.logo_y, 0.0);
  EXPECT_EQ(marked.velocity, 0.0f);
}

// Before the first tick the logo stays where the intro left it, and the
// bounce starts from there; afterwards the bounce's position is truncated.
TEST(Tick, LogoRowIsTheIntrosUntilTheBounceHasOne) {
  AnimState state;
  start_logo_bounce(state);
  EXPECT_EQ(logo_row(state, 7), 7);
  EXPECT_EQ(state.logo_y, 7.0);
  state.logo_y = 3.99;
  EXPECT_EQ(logo_row(state, 7), 3);
}

// From rest at 0: a bounce at the floor on tick 57, rest at 0 eighteen ticks
// later, and the same 75-tick cycle again and again.
TEST(Tick, LogoBouncesOnA75TickCycle) {
  AnimState state;
  std::vector<int> bounces, stops;
  for (int n = 1; n <= 400; ++n) {
    const double before = state.logo_y;
    advance_tick(state);
    const double y = state.logo_y;
    ASSERT_GE(y, 0.0);
    ASSERT_LE(y, 8.0);
    ASSERT_LE(state.velocity, 1.0f);
    if (y == 8.0 && state.velocity == -0.5f) bounces.push_back(n);
    if (y == 0.0 && before > 0.0) stops.push_back(n);
  }
  ASSERT_GE(bounces.size(), 5u);
  ASSERT_GE(stops.size(), 5u);
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(bounces[i], 57 + 75 * int(i));
    EXPECT_EQ(stops[i], 75 + 75 * int(i));
  }
}

class Threads : public ::testing::Test {
 protected:
  AnimState state;
};

TEST_F(Threads, ClockNeverTicksAfterSeeingTheSceneStopped) {
  state.running = 0;
  pthread_t clock;
  ASSERT_EQ(pthread_create(&clock, nullptr, clock_thread, &state), 0);
  pthread_join(clock, nullptr);
  EXPECT_EQ(state.tick, 0);
}

TEST_F(Threads, ClockTicksWhileRunningAndEndsWithinATick) {
  state.running = 1;
  pthread_t clock;
  ASSERT_EQ(pthread_create(&clock, nullptr, clock_thread, &state), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  state.running = 0;
  const auto stopped = std::chrono::steady_clock::now();
  pthread_join(clock, nullptr);
  const auto waited = std::chrono::steady_clock::now() - stopped;
  EXPECT_GT(state.tick, 2);
  EXPECT_LE(state.tick, 11);  // one tick per 10 ms sleep, never more
  EXPECT_LT(waited, std::chrono::milliseconds(40));
  const int32_t ticks = state.tick;
  std::this_thread::sleep_for(std::chrono::milliseconds(25));
  EXPECT_EQ(state.tick, ticks);
}

CallLog music_calls;
int active_answers_left;  // Player_Active says yes this many times, then no
MODULE the_module;

void fake_start(MODULE* module) { music_calls.add(module == &the_module ? "Player_Start" : "Player_Start ?"); }
BOOL fake_active() {
  music_calls.add("Player_Active");
  return active_answers_left-- > 0;
}
void fake_update() { music_calls.add("MikMod_Update"); }
void fake_stop() { music_calls.add("Player_Stop"); }
void fake_free(MODULE* module) { music_calls.add(module == &the_module ? "Player_Free" : "Player_Free ?"); }

void bind_fake_player(int active_answers) {
  lib::Player_Start = fake_start;
  lib::Player_Active = fake_active;
  lib::MikMod_Update = fake_update;
  lib::Player_Stop = fake_stop;
  lib::Player_Free = fake_free;
  active_answers_left = active_answers;
  music_calls.clear();
}

TEST_F(Threads, MusicStopsAndReleasesTheModuleWhenItEndsByItself) {
  bind_fake_player(2);
  state.running = 1;
  MusicPlayback playback{&the_module, &state};
  music_thread(&playback);
  EXPECT_EQ(music_calls.calls(),
            (std::vector<std::string>{"Player_Start", "Player_Active", "MikMod_Update", "Player_Active",
                                      "MikMod_Update", "Player_Active", "Player_Stop", "Player_Free"}));
}

TEST_F(Threads, MusicEndsWithinAnUpdateOfTheSceneStopping) {
  bind_fake_player(1 << 30);
  state.running = 1;
  pthread_t music;
  MusicPlayback playback{&the_module, &state};
  ASSERT_EQ(pthread_create(&music, nullptr, music_thread, &playback), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  state.running = 0;
  const auto stopped = std::chrono::steady_clock::now();
  pthread_join(music, nullptr);
  EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::milliseconds(40));
  EXPECT_EQ(music_calls.calls().back(), "Player_Free");
}

}  // namespace
