#include "scene/dividers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "reference/reference.h"
#include "support/same_pixels.h"

// 256 × sin(x / 640 × 3.14) truncated: sin(0.785) = 0.7068 at 160, sin(1.57)
// just below 1 at 320, and sin(2.355) = 0.7075 at 480, since 3.14 falls
// short of pi. The upper line (here row 67) is the saved row as it is, the
// lower one (row 400) mirrored; no other row changes.
TEST(Dividers, GreyFollowsTheSineAndTheLowerLineIsTheUpperMirrored) {
  for (auto [column, grey] : {std::pair{0, 0u}, {1, 1u}, {160, 180u}, {320, 255u}, {480, 181u}, {639, 1u}})
    EXPECT_EQ(divider_grey(column), grey * 0x010101u) << column;
  const std::vector<uint32_t> saved = noise(640, 3);
  std::vector<uint32_t> frame = noise(640 * 480, 5), expected = frame;
  draw_divider_lines(FrameView{frame.data(), 640, 480, 640}, saved.data(), 67);
  std::copy(saved.begin(), saved.end(), expected.begin() + 67 * 640);
  std::reverse_copy(saved.begin(), saved.end(), expected.begin() + 400 * 640);
  EXPECT_EQ(frame, expected);
}

// Every level as the reference. (The band's limits and the rule worked by
// hand, on rows 171, 172..399 and 400 of a presented frame: SceneFrame.)
TEST(Dividers, FadeLimitsTheBandAtEveryLevelAsTheReference) {
  const std::vector<uint32_t> start = noise(640 * 480, 9);
  for (int level = 0; level < 256; ++level)
    ASSERT_TRUE(same_pixels(start, 640, [&](const FrameView& f) { fade_in_band(f, uint8_t(level)); },
                            [&](uint32_t* p) { reference::fade_band(p, uint8_t(level)); }))
        << "level " << level;
}
