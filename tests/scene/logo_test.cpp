#include "scene/logo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <cstdint>
#include <vector>

#include "gfx/blit.h"
#include "gfx/frame.h"
#include "platform/entry_points.h"
#include "reference/reference.h"
#include "support/asset_files.h"
#include "support/media_double.h"

namespace {

// Stored red first: bytes 0 and 2 of the file are exchanged at set-up.
uint32_t stored(uint32_t b0, uint32_t b1, uint32_t b2, uint32_t b3) { return bytes(b2, b1, b0, b3); }

class Logo : public ::testing::Test {
 protected:
  void TearDown() override { logo_free(logo); }
  // Loads a logo whose every pixel is `fill` (display order).
  void set_up_logo(int width, int height, uint32_t fill) {
    write_filled_image("data/data03.dt", width, height, stored(fill & 0xff, fill >> 8 & 0xff, fill >> 16 & 0xff, fill >> 24));
    ASSERT_TRUE(logo_init(logo));
  }
  // Draws the logo with its top at `row`, at the given tick and phase.
  void draw(int row = 0, int32_t tick = 128, double phase = 0.0) { logo_draw(logo, frame_of(display), row, tick, phase); }
  ScratchDirectory scratch;
  SDL_Surface* display = open_test_display();
  LogoFx logo;
};

using reference::logo_wave;

TEST_F(Logo, TablesHoldTheirWorkedValues) {
  set_up_logo(4, 4, 0);
  EXPECT_EQ(logo.sin40[0], 0.0);
  EXPECT_NEAR(logo.sin40[64], 39.9994, 1e-4);
  EXPECT_NEAR(logo.sin40[128], -0.4288, 1e-4);
  EXPECT_NEAR(logo.sin40[191], -39.9985, 1e-4);
  for (int k = 1; k <= 3; ++k) {
    const int8_t* table = k == 1 ? logo.cos20 : k == 2 ? logo.cos40 : logo.cos60;
    EXPECT_EQ(table[0], 20 * k);
    EXPECT_EQ(table[64], 0);
    EXPECT_EQ(table[191], 0);
    EXPECT_EQ(table[127], 1 - 20 * k);
    EXPECT_EQ(table[128], 1 - 20 * k);
  }
  for (int i = 0; i < 256; ++i) {
    ASSERT_EQ(logo.sin40[i], std::sin(i / 255.0 * 360.0 * 3.14 / 180.0) * 40.0);
    ASSERT_EQ(logo.cos20[i], logo_wave(i, 20.0));
    ASSERT_EQ(logo.cos40[i], logo_wave(i, 40.0));
    ASSERT_EQ(logo.cos60[i], logo_wave(i, 60.0));
  }
}

TEST_F(Logo, SetUpCentresAndSwapsBytes) {
  write_image("data/data03.dt", 301, 101, std::vector<uint32_t>(301 * 101, bytes(1, 2, 3, 4)));
  ASSERT_TRUE(logo_init(logo));
  EXPECT_EQ(logo.x, 170);
  EXPECT_EQ(logo.y, 190);
  EXPECT_EQ(pixel_at(logo.surface, 0, 0), bytes(3, 2, 1, 4));
}

TEST_F(Logo, RefusesALogoThatCannotBeLoadedOrWouldLeaveTheDisplay) {
  testing::internal::CaptureStderr();
  EXPECT_FALSE(logo_init(logo));  // no file
  write_filled_image("data/data03.dt", 563, 10, 0);
  EXPECT_FALSE(logo_init(logo));
  write_filled_image("data/data03.dt", 10, 470, 0);
  EXPECT_FALSE(logo_init(logo));
  const std::string messages = testing::internal::GetCapturedStderr();
  EXPECT_EQ(logo.surface, nullptr);
  EXPECT_NE(messages.find("Cannot load data/data03.dt"), std::string::npos);

  write_filled_image("data/data03.dt", 562, 469, 0);
  EXPECT_TRUE(logo_init(logo));
}

TEST_F(Logo, WorkedPixelsOfTheWobble) {
  set_up_logo(3, 1, bytes(100, 100, 100, 255));
  pixel_at(logo.surface, 1, 0) = bytes(100, 100, 100, 150);
  pixel_at(logo.surface, 2, 0) = bytes(100, 100, 100, 0);
  for (int x = 0; x < display_width; ++x) pixel_at(display, x, 0) = bytes(255, 255, 255, 77);
  draw(0, 128, 0.75);
  const int x = logo.x;  // sway 0 at tick 128
  EXPECT_EQ(x, 319);
  EXPECT_EQ(pixel_at(display, x, 0), bytes(140, 180, 220, 77));
  // Column 1 has index 1: cos20[1] is 19, so byte 0 is 100 + 19 + 20.
  EXPECT_EQ(pixel_at(display, x + 1, 0), bytes(139, 150, 150, 77));
  EXPECT_EQ(pixel_at(display, x + 2, 0), bytes(127, 63, 63, 77));  // transparent: the darkened band
}

TEST_F(Logo, NegativeSumsClampToZeroAfterTheAlphaCap) {
  set_up_logo(1, 1, bytes(10, 100, 200, 255));
  draw(0, 128, 128.0);  // row and column index 128
  EXPECT_EQ(pixel_at(display, logo.x, 0), bytes(0, 22, 82, 0));
}

TEST_F(Logo, SwayFollowsTheTickModulo256) {
  set_up_logo(2, 1, bytes(0, 0, 0, 255));  // black stays black
  for (auto [tick, sway] : {std::pair{128, 0}, {64, 39}, {191, -39}, {256 + 64, 39}}) {
    std::fill_n(pixels_of(display), 640 * 480, 0u);
    pixel_at(display, logo.x + sway - 1, 2) = 0x12345678;
    draw(2, tick, 128.0);
    EXPECT_EQ(pixel_at(display, logo.x + sway - 1, 2), darken_pixel(0x12345678)) << tick;
    EXPECT_EQ(pixel_at(display, logo.x + sway, 2), 0u) << tick;
    EXPECT_EQ(pixel_at(display, logo.x + sway + 1, 2), 0u) << tick;
  }
}

// The whole draw against the literal reference: logos of assorted pixels and
// widths (rows ending anywhere in a group of eight) at assorted sways, rows
// and phases, over an arbitrary background.
TEST_F(Logo, WholeDrawMatchesTheLiteralReference) {
  struct Case {
    int w, h, tick, row;
    double phase;
  };
  for (const Case& k : {Case{300, 120, 1000, 6, 3456.75}, Case{301, 37, 64, 0, 0.5}, Case{13, 9, 191, 8, 200.25},
                        Case{562, 160, 7, 3, 1e6 + 0.125}}) {
    std::vector<uint32_t> pixels;
    for (int r = 0; r < k.h; ++r)
      for (int c = 0; c < k.w; ++c)
        pixels.push_back(bytes(uint32_t(c * 7 + r) & 0xff, uint32_t(r * 5 + 3 * c) & 0xff, uint32_t(c ^ r) & 0xff,
                               uint32_t(c * 13 + r * 3) % 5 == 0 ? 0 : uint32_t(c * 11 + r) & 0xff));
    std::vector<uint32_t> file;
    for (uint32_t p : pixels) file.push_back(stored(p & 0xff, p >> 8 & 0xff, p >> 16 & 0xff, p >> 24));
    write_image("data/data03.dt", k.w, k.h, file);
    logo_free(logo);
    ASSERT_TRUE(logo_init(logo));
    for (int y = 0; y < display_height; ++y)
      for (int x = 0; x < display_width; ++x)
        pixel_at(display, x, y) = bytes(uint32_t(x) & 0xff, uint32_t(y) & 0xff, 200, uint32_t(x + y) & 0xff);
    std::vector<uint32_t> expected(pixels_of(display), pixels_of(display) + 640 * 480);
    reference::logo_with_band(expected.data(), pixels.data(), k.w, k.h, 320 - k.w / 2 + reference::logo_sway(k.tick),
                              k.row, k.phase);
    draw(k.row, k.tick, k.phase);
    const uint32_t* drawn = pixels_of(display);
    for (size_t p = 0; p < expected.size(); ++p)
      ASSERT_EQ(drawn[p], expected[p]) << "width " << k.w << " row " << p / 640 << " column " << p % 640;
  }
}

}  // namespace
