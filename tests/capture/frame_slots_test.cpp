#include "frame_slots.h"

#include <gtest/gtest.h>

namespace {

constexpr int64_t ms = 1000000;
constexpr int64_t origin = 5000 * ms;

// Slot k of a 60 Hz stream lies at origin + k × 16.67 ms.
int64_t slot_time(int64_t k) { return origin + k * 1000000000 / 60; }

TEST(FrameSlots, PresentsBetweenSlotsAreDroppedAndOnlyTheLastOneIsShown) {
  FrameSlots slots = frame_slots_start(origin, 60);
  EXPECT_EQ(frame_slots_present(slots, origin + 1 * ms), 1);  // slot 0: the display as it opened
  EXPECT_EQ(frame_slots_present(slots, origin + 5 * ms), 0);  // the first picture never reaches a slot
  EXPECT_EQ(frame_slots_present(slots, origin + 9 * ms), 0);
  EXPECT_EQ(slots.dropped, 2);
  EXPECT_EQ(frame_slots_present(slots, origin + 20 * ms), 1);  // slot 1 (16.7 ms) shows the 9 ms picture
  EXPECT_EQ(slots.dropped, 2);
  EXPECT_EQ(slots.repeated, 0);
}

TEST(FrameSlots, AWaitRepeatsThePictureInEverySlotItSpans) {
  FrameSlots slots = frame_slots_start(origin, 60);
  frame_slots_present(slots, origin + 1 * ms);
  EXPECT_EQ(frame_slots_present(slots, origin + 501 * ms), 30);  // slots 1..30 lie before 501 ms
  EXPECT_EQ(slots.repeated, 29);
  EXPECT_EQ(slots.dropped, 0);
}

TEST(FrameSlots, APresentAtTheSlotTimeFillsThatSlot) {
  FrameSlots slots = frame_slots_start(origin, 60);
  EXPECT_EQ(frame_slots_present(slots, slot_time(0)), 0);  // replaces the opened display before slot 0
  EXPECT_EQ(slots.dropped, 1);
  EXPECT_EQ(frame_slots_present(slots, slot_time(3)), 3);  // slots 0, 1, 2; slot 3 is the new picture's
  EXPECT_EQ(frame_slots_close(slots, slot_time(3) + 1), 1);
  EXPECT_EQ(slots.next_slot, 4);
}

TEST(FrameSlots, TheStreamEndsWithTheLastPicture) {
  FrameSlots slots = frame_slots_start(origin, 60);
  frame_slots_present(slots, origin + 30 * ms);  // slots 0, 1
  frame_slots_present(slots, origin + 31 * ms);  // dropped
  frame_slots_present(slots, origin + 32 * ms);  // slot 2 lies at 33.3 ms, after the close below
  EXPECT_EQ(frame_slots_close(slots, origin + 32 * ms + 100), 1);
  EXPECT_EQ(slots.next_slot, 3);
  EXPECT_DOUBLE_EQ(frame_slots_seconds(slots), 0.05);

  FrameSlots shown = frame_slots_start(origin, 60);
  frame_slots_present(shown, origin + 1 * ms);
  frame_slots_present(shown, origin + 2 * ms);
  EXPECT_EQ(frame_slots_present(shown, origin + 40 * ms), 2);  // slots 1, 2 show the 2 ms picture
  EXPECT_EQ(frame_slots_close(shown, origin + 41 * ms), 1);    // the 40 ms picture, once
  EXPECT_EQ(frame_slots_close(shown, origin + 42 * ms), 0);    // closing twice adds nothing
}

}  // namespace
