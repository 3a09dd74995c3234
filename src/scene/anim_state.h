// The animation state shared by the main thread, the clock thread and the
// music thread. Every value is a lock-free atomic used with relaxed order:
// on x86 these are plain loads and stores, and no access is a data race. The
// one lock orders the clock's ticks with the start values the set-ups store.
#pragma once

#include <mikmod.h>

#include <atomic>
#include <cstdint>
#include <mutex>

struct AnimState {
  std::atomic<uint8_t> running{0};   // 1 while the scene runs; 0 asks every loop to end
  std::atomic<int16_t> angle{0};     // background rotation step, 0..639
  std::atomic<double> scroll_x{0.0}; // scroller position on the display
  std::atomic<int32_t> tick{0};      // tick counter (logo sway)
  std::atomic<double> phase{0.0};    // logo colour wobble phase
  std::atomic<float> velocity{0.0f}; // logo bounce speed, pixels per tick
  std::atomic<double> logo_y{0.0};   // logo bounce position
  std::atomic<uint8_t> fade{0};      // scene fade-in level, 0..255
  // Taken by each tick and by the main thread's starting-value stores; the
  // per-frame reads never take it.
  std::mutex tick_lock;
};

// Every access to the shared fields is relaxed: each field is read or written
// whole, and no field orders another.
constexpr auto relaxed = std::memory_order_relaxed;

static_assert(std::atomic<uint8_t>::is_always_lock_free, "the interrupt handler stores running");
static_assert(std::atomic<double>::is_always_lock_free, "frames read doubles without a lock");

// Marks a logo position not yet taken from the logo itself.
constexpr double logo_y_unset = -128.0;

// Seeds the logo's motion before the scene's threads start: tick 128 (no
// sway), the bounce at rest, its row not yet taken from the logo.
void start_logo_bounce(AnimState& state);

// The logo's row for a frame: the bounce's, except that a frame before the
// first tick takes `intro_row`, where the intro left the logo, and keeps it
// as the bounce's start.
int16_t logo_row(AnimState& state, int16_t intro_row);

// Sleep between two ticks of either worker thread.
constexpr unsigned tick_microseconds = 10000;

// One step of the clock: advances every time-driven field of `state` once
// (rotation, scroll, fade-in, tick count, colour phase, logo bounce). Takes
// the tick lock, so a starting value stored with the store_start_ helpers
// below lands either wholly before or wholly after it.
void advance_tick(AnimState& state);

// Starting values stored by the main thread's set-ups while the clock thread
// already ticks; each is serialised with the tick so that it is never
// overwritten by a tick that read the old value.
void store_start_angle(AnimState& state, int16_t angle);
void store_start_scroll_x(AnimState& state, double scroll_x);
void store_start_fade(AnimState& state, uint8_t fade);

// What the music thread plays, and the state whose `running` it watches.
struct MusicPlayback {
  MODULE* module;
  const AnimState* state;
};

// Thread entries. The clock thread takes the AnimState* it ticks, every
// 10 ms until it sees `running` at 0 before a tick. The music thread takes a
// MusicPlayback*, plays its module and feeds the music library every 10 ms
// until the module stops or `running` is 0, then stops and releases the
// module.
void* clock_thread(void* state);
void* music_thread(void* playback);
