#include "scene/rotozoom.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "reference/reference.h"
#include "support/media_double.h"
#include "support/same_pixels.h"

// Every step against the literal reference. Every texel is different: its
// word names its own row and column, and its alpha byte varies too, so a
// display pixel tells exactly which texel it shows. At step 0 (cos 1, sin 0,
// zoom 1) display row i, column k shows texel row (128 + i − k) mod 256 and
// column (128 + i + k) mod 256. Without its tables (as after a set-up that
// found no memory for them) it draws nothing.
TEST(Background, EveryStepMatchesTheLiteralReferenceAndStepZeroAsWorkedByHand) {
  open_test_display();
  SDL_Surface* texture = make_surface(256, 256);
  const auto texel_name = [](uint32_t v, uint32_t u) { return v << 8 | u | ((v * 7 + u) & 0xff) << 24; };
  for (int v = 0; v < 256; ++v)
    for (int u = 0; u < 256; ++u) pixel_at(texture, u, v) = texel_name(uint32_t(v), uint32_t(u));
  RotoZoom record{};
  ASSERT_TRUE(rotozoom_init(record, texture));
  const std::vector<uint32_t> start = noise(640 * 480, 2);
  for (int step = 0; step < rotozoom_steps; ++step)
    ASSERT_TRUE(same_pixels(start, 640, [&](const FrameView& f) { rotozoom_draw(record, f, step); },
                            [&](uint32_t* p) { reference::background(step, pixels_of(texture), p); }))
        << "step " << step;

  std::vector<uint32_t> frame(640 * 480);
  rotozoom_draw(record, FrameView{frame.data(), 640, 480, 640}, 0);
  for (auto [row, column, v, u] : {std::array{0, 0, 128, 128}, {0, 1, 127, 129}, {1, 0, 129, 129}, {0, 200, 184, 72},
                                   {0, 639, 1, 255}, {479, 639, 224, 222}})
    EXPECT_EQ(frame[size_t(row * 640 + column)], texel_name(uint32_t(v), uint32_t(u))) << row << "," << column;
  rotozoom_free(record);
  EXPECT_TRUE(same_pixels(start, 640, [&](const FrameView& f) { rotozoom_draw(record, f, 0); }, [](uint32_t*) {}));
}
