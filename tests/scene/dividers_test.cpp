#include "scene/dividers.h"

#include <gtest/gtest.h>

#include <vector>

#include "reference/reference.h"
#include "support/media_double.h"
#include "support/same_pixels.h"

namespace {

// 256 × sin(x / 640 × 3.14) truncated: sin(0.785) = 0.7068 at 160, sin(1.57)
// just below 1 at 320, and sin(2.355) = 0.7075 at 480, since 3.14 falls short of pi.
TEST(Dividers, GreyFollowsTheSineWithThreePointFourteen) {
  for (auto [column, grey] : {std::pair{0, 0u}, {1, 1u}, {160, 180u}, {320, 255u}, {480, 181u}, {639, 1u}})
    EXPECT_EQ(divider_grey(column), grey * 0x010101u) << column;
}

TEST(Dividers, UpperLineAsSavedLowerLineMirrored) {
  std::vector<uint32_t> saved(640);
  for (int i = 0; i < 640; ++i) saved[size_t(i)] = 0x01000000u * uint32_t(i % 7) + uint32_t(i);
  std::vector<uint32_t> frame = noise(640 * 480, 5);
  const std::vector<uint32_t> before = frame;
  EXPECT_EQ(upper_divider_row(57), 67);
  draw_divider_lines(FrameView{frame.data(), 640, 480, 640}, saved.data(), 67);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      const size_t at = size_t(y) * 640 + size_t(x);
      const uint32_t expected = y == 67 ? saved[size_t(x)] : y == 400 ? saved[size_t(639 - x)] : before[at];
      ASSERT_EQ(frame[at], expected) << x << "," << y;
    }
}

// At level 128, (200, 100, 130) becomes (128, 100, 128); at 0 only byte 3
// is left. Rows 171 and 400 are never touched.
TEST(Dividers, FadeLimitsTheBandAsWorkedByHandAndAtEveryLevelAsTheReference) {
  std::vector<uint32_t> frame(640 * 480, bytes(200, 100, 130, 77));
  fade_in_band(FrameView{frame.data(), 640, 480, 640}, 128);
  EXPECT_EQ(frame[172 * 640], bytes(128, 100, 128, 77));
  EXPECT_EQ(frame[399 * 640 + 639], bytes(128, 100, 128, 77));
  EXPECT_EQ(frame[171 * 640 + 639], bytes(200, 100, 130, 77));
  EXPECT_EQ(frame[400 * 640], bytes(200, 100, 130, 77));
  fade_in_band(FrameView{frame.data(), 640, 480, 640}, 0);
  EXPECT_EQ(frame[300 * 640 + 5], bytes(0, 0, 0, 77));

  const std::vector<uint32_t> start = noise(640 * 480, 9);
  for (int level = 0; level < 256; ++level)
    ASSERT_TRUE(same_pixels(start, 640, [&](const FrameView& f) { fade_in_band(f, uint8_t(level)); },
                            [&](uint32_t* p) { reference::fade_band(p, uint8_t(level)); }))
        << "level " << level;
}

}  // namespace
