#include "scene/dividers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "gfx/frame.h"
#include "platform/entry_points.h"
#include "reference/reference.h"
#include "support/media_double.h"

namespace {

TEST(DividerGrey, WorkedValuesAndTheLiteralFormula) {
  EXPECT_EQ(divider_grey(0), 0u);
  EXPECT_EQ(divider_grey(320), bytes(255, 255, 255, 0));
  EXPECT_EQ(divider_grey(639), bytes(1, 1, 1, 0));
  for (int x = 0; x < 640; ++x) {
    const int g = int(256 * std::sin(x / 640.0 * 180 * 3.14 / 180));
    ASSERT_EQ(divider_grey(x), uint32_t(g & 0xff) * 65793u) << x;
  }
}

class Dividers : public ::testing::Test {
 protected:
  void SetUp() override {
    display = open_test_display();
    for (int y = 0; y < display_height; ++y)
      for (int x = 0; x < display_width; ++x) pixel_at(display, x, y) = bytes(200, 100, 130, uint32_t(x + y) & 0xff);
    before.assign(pixels_of(display), pixels_of(display) + 640 * 480);
  }
  SDL_Surface* display = nullptr;
  std::vector<uint32_t> before;
};

TEST_F(Dividers, UpperLineAsSavedLowerLineMirrored) {
  std::vector<uint32_t> row(640);
  for (int i = 0; i < 640; ++i) row[size_t(i)] = 0x01000000u * uint32_t(i % 7) + uint32_t(i);
  EXPECT_EQ(upper_divider_row(57), 67);
  draw_divider_lines(frame_of(display), row.data(), 67);
  EXPECT_EQ(pixel_at(display, 0, 400), row[639]);
  EXPECT_EQ(pixel_at(display, 0, 67), row[0]);
  for (int y = 0; y < display_height; ++y)
    for (int x = 0; x < display_width; ++x) {
      const uint32_t expected = y == 67 ? row[size_t(x)] : y == 400 ? row[size_t(639 - x)] : before[size_t(y) * 640 + size_t(x)];
      ASSERT_EQ(pixel_at(display, x, y), expected) << x << "," << y;
    }
}

TEST_F(Dividers, FadeLimitsOnlyTheBandBetweenTheLines) {
  fade_in_band(frame_of(display), 128);
  EXPECT_EQ(pixel_at(display, 5, 172), bytes(128, 100, 128, 177));
  EXPECT_EQ(pixel_at(display, 639, 399), bytes(128, 100, 128, (639 + 399) & 0xff));
  EXPECT_EQ(pixel_at(display, 5, 171), before[171 * 640 + 5]);
  EXPECT_EQ(pixel_at(display, 5, 400), before[400 * 640 + 5]);
  fade_in_band(frame_of(display), 0);
  EXPECT_EQ(pixel_at(display, 5, 172), bytes(0, 0, 0, 177));
  EXPECT_EQ(pixel_at(display, 639, 399), bytes(0, 0, 0, (639 + 399) & 0xff));
}

// Every level over every byte value: the band against the reference,
// everything else untouched.
TEST_F(Dividers, EveryFadeLevelMatchesTheReference) {
  for (int y = 0; y < display_height; ++y)
    for (int x = 0; x < display_width; ++x) pixel_at(display, x, y) = 0x01000193u * uint32_t(x + 640 * y) ^ uint32_t(y);
  before.assign(pixels_of(display), pixels_of(display) + 640 * 480);
  std::vector<uint32_t> expected;
  for (int level = 0; level < 256; ++level) {
    std::copy(before.begin(), before.end(), pixels_of(display));
    expected = before;
    fade_in_band(frame_of(display), uint8_t(level));
    reference::fade_band(expected.data(), uint8_t(level));
    for (size_t p = 0; p < expected.size(); ++p)
      ASSERT_EQ(pixels_of(display)[p], expected[p]) << "level " << level << " pixel " << p;
  }
}

}  // namespace
