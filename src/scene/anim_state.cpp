#include "scene/anim_state.h"

#include <unistd.h>

#include "platform/entry_points.h"
#include "scene/rotozoom.h"

namespace {

void advance_logo_bounce(AnimState& state) {
  // The sum is formed in double and rounded to single precision on store.
  float velocity = static_cast<float>(double{state.velocity.load(relaxed)} + 0.005);
  if (velocity > 1.0f) velocity = 1.0f;
  double logo_y = state.logo_y.load(relaxed);
  if (logo_y + velocity > 8.0) {  // it would pass the floor: pin it and throw it back up
    velocity = -0.5f;
    logo_y = 8.0;
  } else {
    logo_y = logo_y + velocity;
  }
  if (logo_y < 0.0) {  // back above the top row: rest there and fall again
    logo_y = 0.0;
    velocity = 0.0f;
  }
  state.velocity.store(velocity, relaxed);
  state.logo_y.store(logo_y, relaxed);
}

}  // namespace

void advance_tick(AnimState& state) {
  std::lock_guard<std::mutex> guard(state.tick_lock);
  state.angle.store(static_cast<int16_t>((state.angle.load(relaxed) + 1) % rotozoom_steps), relaxed);
  state.scroll_x.store(state.scroll_x.load(relaxed) - 1.0, relaxed);
  const uint8_t fade = state.fade.load(relaxed);
  if (fade != 255) state.fade.store(static_cast<uint8_t>(fade + 1), relaxed);
  // Counted in unsigned so that the wrap after 2^31 ticks is defined; readers
  // use only the low 8 bits.
  state.tick.store(static_cast<int32_t>(static_cast<uint32_t>(state.tick.load(relaxed)) + 1u), relaxed);
  state.phase.store(state.phase.load(relaxed) + 1.5, relaxed);
  advance_logo_bounce(state);
}

void start_logo_bounce(AnimState& state) {
  state.tick.store(128, relaxed);
  state.velocity.store(0.0f, relaxed);
  state.logo_y.store(logo_y_unset, relaxed);
}

int16_t logo_row(AnimState& state, int16_t intro_row) {
  double expected = logo_y_unset;
  state.logo_y.compare_exchange_strong(expected, static_cast<double>(intro_row), relaxed);
  return static_cast<int16_t>(state.logo_y.load(relaxed));
}

void store_start_angle(AnimState& state, int16_t angle) {
  std::lock_guard<std::mutex> guard(state.tick_lock);
  state.angle.store(angle, relaxed);
}

void store_start_scroll_x(AnimState& state, double scroll_x) {
  std::lock_guard<std::mutex> guard(state.tick_lock);
  state.scroll_x.store(scroll_x, relaxed);
}

void store_start_fade(AnimState& state, uint8_t fade) {
  std::lock_guard<std::mutex> guard(state.tick_lock);
  state.fade.store(fade, relaxed);
}

void* clock_thread(void* state_pointer) {
  AnimState& state = *static_cast<AnimState*>(state_pointer);
  while (state.running.load(relaxed) != 0) {
    usleep(tick_microseconds);
    advance_tick(state);
  }
  return nullptr;
}

void* music_thread(void* playback_pointer) {
  const auto& playback = *static_cast<const MusicPlayback*>(playback_pointer);
  MODULE* module = playback.module;
  const AnimState& state = *playback.state;
  lib::Player_Start(module);
  // The player is asked first, so a stopped module ends the loop even while
  // the scene runs on.
  while (lib::Player_Active() && state.running.load(relaxed) != 0) {
    usleep(tick_microseconds);
    lib::MikMod_Update();
  }
  lib::Player_Stop();
  lib::Player_Free(module);
  return nullptr;
}
