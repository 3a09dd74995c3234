// Frame slots of a fixed-rate video stream fed by a program that presents
// whenever it likes. Slot k lies at origin + k / rate seconds and shows the
// picture presented most recently at or before that moment: a slot with no
// new present repeats the previous picture, and a picture replaced before the
// next slot is never shown (dropped).
#pragma once

#include <cstdint>

struct FrameSlots {
  int64_t origin_ns = 0;    // the time of slot 0
  int rate = 60;            // slots per second
  int64_t next_slot = 0;    // first slot whose picture is not yet decided
  bool latest_shown = false;  // whether the current picture fills any slot yet
  int64_t dropped = 0;      // pictures replaced before any slot showed them
  int64_t repeated = 0;     // slots that show a picture an earlier slot showed
};

// Starts the stream at `origin_ns` with its first picture (the display as it
// opened).
FrameSlots frame_slots_start(int64_t origin_ns, int rate);

// A new picture is presented at `now_ns`. Returns how many slots, from
// `next_slot` on, the outgoing picture fills (the slots that lie before
// `now_ns`); the new picture then becomes the current one.
int64_t frame_slots_present(FrameSlots& slots, int64_t now_ns);

// The stream ends at `now_ns`. Returns how many slots the current picture
// fills up to then; at least one when it has not been shown yet, so the last
// picture presented always ends the stream.
int64_t frame_slots_close(FrameSlots& slots, int64_t now_ns);

// Seconds of stream decided so far.
double frame_slots_seconds(const FrameSlots& slots);
