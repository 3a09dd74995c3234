#include "scene/rotozoom.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/entry_points.h"
#include "reference/reference.h"
#include "support/media_double.h"
#include "support/same_pixels.h"

namespace {

// Every texel is different: its word names its own row and column, and its
// alpha byte varies too, so a display pixel tells exactly which texel it shows.
uint32_t texel_name(uint32_t row, uint32_t column) { return row << 8 | column | ((row * 7 + column) & 0xff) << 24; }

class Background : public ::testing::Test {
 protected:
  void SetUp() override {
    open_test_display();
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
  SDL_Surface* texture = nullptr;
};

TEST_F(Background, EveryStepMatchesTheLiteralReference) {
  const std::vector<uint32_t> start = noise(640 * 480, 2);
  for (int step = 0; step < rotozoom_steps; ++step)
    ASSERT_TRUE(same_pixels(start, 640, [&](const FrameView& f) { rotozoom_draw(record, f, step); },
                            [&](uint32_t* p) { reference::background(step, pixels_of(texture), p); }))
        << "step " << step;
}

// At step 0 (cos 1, sin 0, zoom 1) display row i, column k shows texel row
// (128 + i − k) mod 256 and column (128 + i + k) mod 256. The zoom is
// sin / 2 + 1: 1.5 at step 160 (90°), 0.5 at 480.
TEST_F(Background, StepZeroAsWorkedByHandAndNoDrawWithoutTables) {
  std::vector<uint32_t> frame(640 * 480, 7);
  const FrameView view{frame.data(), 640, 480, 640};
  rotozoom_draw(record, view, 0);
  auto shown = [&](int row, int column) { return frame[size_t(row) * 640 + size_t(column)]; };
  EXPECT_EQ(shown(0, 0), texel_name(128, 128));
  EXPECT_EQ(shown(0, 1), texel_name(127, 129));
  EXPECT_EQ(shown(1, 0), texel_name(129, 129));
  EXPECT_EQ(shown(0, 200), texel_name(184, 72));
  EXPECT_EQ(shown(0, 639), texel_name(1, 255));
  EXPECT_EQ(shown(479, 639), texel_name(224, 222));
  EXPECT_EQ(record.zoom_table[0], 1.0);
  EXPECT_NEAR(record.zoom_table[160], 1.5, 1e-5);
  EXPECT_NEAR(record.zoom_table[480], 0.5, 1e-5);
  EXPECT_NEAR(rotozoom_angle(639), 639 / 640.0 * 2 * 3.14, 1e-12);

  rotozoom_free(record);  // as after a set-up that found no memory for its tables
  std::fill(frame.begin(), frame.end(), 7u);
  rotozoom_draw(record, view, 0);
  EXPECT_EQ(shown(0, 0), 7u);
}

}  // namespace
