#include "frame_slots.h"

namespace {

constexpr int64_t ns_per_second = 1000000000;

// The first slot that lies at or after `now_ns`: slot k lies before it when
// k / rate < elapsed, that is k × 10^9 < rate × elapsed in whole nanoseconds.
int64_t first_slot_not_before(const FrameSlots& slots, int64_t now_ns) {
  const int64_t elapsed = now_ns - slots.origin_ns;
  if (elapsed <= 0) return 0;
  return (elapsed * slots.rate + ns_per_second - 1) / ns_per_second;
}

// Gives the current picture the slots up to (not including) `end_slot`.
int64_t fill_slots_until(FrameSlots& slots, int64_t end_slot) {
  const int64_t count = end_slot - slots.next_slot;
  if (count <= 0) return 0;
  slots.repeated += slots.latest_shown ? count : count - 1;
  slots.latest_shown = true;
  slots.next_slot = end_slot;
  return count;
}

}  // namespace

FrameSlots frame_slots_start(int64_t origin_ns, int rate) {
  FrameSlots slots;
  slots.origin_ns = origin_ns;
  slots.rate = rate;
  return slots;
}

int64_t frame_slots_present(FrameSlots& slots, int64_t now_ns) {
  const int64_t filled = fill_slots_until(slots, first_slot_not_before(slots, now_ns));
  if (!slots.latest_shown) ++slots.dropped;
  slots.latest_shown = false;
  return filled;
}

int64_t frame_slots_close(FrameSlots& slots, int64_t now_ns) {
  int64_t end_slot = first_slot_not_before(slots, now_ns);
  if (!slots.latest_shown && end_slot <= slots.next_slot) end_slot = slots.next_slot + 1;
  return fill_slots_until(slots, end_slot);
}

double frame_slots_seconds(const FrameSlots& slots) {
  return double(slots.next_slot) / slots.rate;
}
