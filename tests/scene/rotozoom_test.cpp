#include "scene/rotozoom.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "gfx/frame.h"
#include "platform/entry_points.h"
#include "reference/reference.h"
#include "support/media_double.h"

namespace {

// Every texel is different: its word names its own row and column, and its
// alpha byte varies too, so a display pixel tells exactly which texel it shows.
uint32_t texel_name(uint32_t row, uint32_t column) { return row << 8 | column | ((row * 7 + column) & 0xff) << 24; }

class Background : public ::testing::Test {
 protected:
  void SetUp() override {
    display = open_test_display();
    texture = make_surface(256, 256);
    for (int v = 0; v < 256; ++v)
      for (int u = 0; u < 256; ++u) pixel_at(texture, u, v) = texel_name(uint32_t(v), uint32_t(u));
    ASSERT_TRUE(rotozoom_init(record, texture));
  }
  void TearDown() override {
    rotozoom_free(record);
    lib::SDL_FreeSurface(texture);
  }
  RotoZoom record{};
  SDL_Surface* display = nullptr;
  SDL_Surface* texture = nullptr;
};

// The background against the literal reference (tests/reference), at every
// pixel of every step.
TEST_F(Background, EveryStepMatchesTheLiteralFormulaAtEveryPixel) {
  std::vector<uint32_t> expected(size_t(display_width) * display_height);
  for (int step = 0; step < rotozoom_steps; ++step) {
    reference::background(step, pixels_of(texture), expected.data());
    std::fill_n(pixels_of(display), expected.size(), 0xdeadbeefu);
    rotozoom_draw(record, frame_of(display), step);
    const uint32_t* drawn = pixels_of(display);
    for (size_t p = 0; p < expected.size(); ++p)
      ASSERT_EQ(drawn[p], expected[p]) << "step " << step << " row " << p / 640 << " column " << p % 640;
  }
}

TEST_F(Background, WorkedTexelsAndTableValuesAndNoDrawWithoutTables) {
  rotozoom_draw(record, frame_of(display), 0);
  EXPECT_EQ(pixel_at(display, 0, 0), texel_name(128, 128));
  EXPECT_EQ(pixel_at(display, 1, 0), texel_name(127, 129));
  EXPECT_EQ(pixel_at(display, 0, 1), texel_name(129, 129));
  EXPECT_EQ(pixel_at(display, 200, 0), texel_name(184, 72));
  EXPECT_EQ(pixel_at(display, 639, 0), texel_name(1, 255));
  EXPECT_EQ(pixel_at(display, 639, 479), texel_name(224, 222));
  EXPECT_EQ(record.zoom_table[0], 1.0);
  EXPECT_NEAR(record.zoom_table[160], 1.5, 1e-5);
  EXPECT_NEAR(record.zoom_table[480], 0.5, 1e-5);
  EXPECT_EQ(rotozoom_angle(639), static_cast<double>(639 * 360.0L / 640.0L * static_cast<long double>(3.14) / 180.0L));
  EXPECT_NEAR(rotozoom_angle(639), 6.2702, 1e-4);

  rotozoom_free(record);  // as after a set-up that found no memory for its tables
  pixel_at(display, 0, 0) = 7;
  rotozoom_draw(record, frame_of(display), 0);
  EXPECT_EQ(pixel_at(display, 0, 0), 7u);
}

}  // namespace
