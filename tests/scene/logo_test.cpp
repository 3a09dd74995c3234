#include "scene/logo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "gfx/blit.h"
#include "gfx/frame.h"
#include "platform/entry_points.h"
#include "reference/reference.h"
#include "scene/anim_state.h"
#include "support/asset_files.h"
#include "support/media_double.h"

namespace {

// Stored red first: bytes 0 and 2 of the file are exchanged at set-up.
uint32_t stored(uint32_t b0, uint32_t b1, uint32_t b2, uint32_t b3) { return bytes(b2, b1, b0, b3); }

class Logo : public ::testing::Test {
 protected:
  void SetUp() override {
    display = open_test_display();
    anim_state.store(&state);
  }
  void TearDown() override {
    logo_free();
    anim_state.store(nullptr);
  }
  // Loads a logo whose every pixel is `fill` (display order) and places the
  // bounce at `row` with the given tick and phase.
  void set_up_logo(int width, int height, uint32_t fill, double row = 0.0, int tick = 128, double phase = 0.0) {
    write_filled_image("data/data03.dt", width, height, stored(fill & 0xff, fill >> 8 & 0xff, fill >> 16 & 0xff, fill >> 24));
    ASSERT_TRUE(logo_init());
    state.logo_y = row;
    state.tick = tick;
    state.phase = phase;
  }
  ScratchDirectory scratch;
  AnimState state;
  SDL_Surface* display = nullptr;
};

using reference::logo_wave;

TEST_F(Logo, TablesHoldTheirWorkedValues) {
  set_up_logo(4, 4, 0);
  const LogoFx& logo = *logo_fx;
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

TEST_F(Logo, SetUpCentresSwapsBytesAndSeedsTheBounce) {
  write_image("data/data03.dt", 301, 101, std::vector<uint32_t>(301 * 101, bytes(1, 2, 3, 4)));
  state.logo_y = 5.0;
  state.velocity = 0.3f;
  ASSERT_TRUE(logo_init());
  EXPECT_EQ(logo_fx->x, 170);
  EXPECT_EQ(logo_fx->y, 190);
  EXPECT_EQ(pixel_at(logo_fx->surface, 0, 0), bytes(3, 2, 1, 4));
  EXPECT_EQ(state.tick, 128);
  EXPECT_EQ(state.velocity, 0.0f);
  EXPECT_EQ(state.logo_y, -128.0);
}

TEST_F(Logo, RefusesALogoThatCannotBeLoadedOrWouldLeaveTheDisplay) {
  testing::internal::CaptureStderr();
  EXPECT_FALSE(logo_init());  // no file
  write_filled_image("data/data03.dt", 563, 10, 0);
  EXPECT_FALSE(logo_init());
  write_filled_image("data/data03.dt", 10, 470, 0);
  EXPECT_FALSE(logo_init());
  const std::string messages = testing::internal::GetCapturedStderr();
  EXPECT_EQ(logo_fx, nullptr);
  EXPECT_NE(messages.find("Cannot load data/data03.dt"), std::string::npos);
  EXPECT_EQ(state.logo_y, 0.0);  // nothing seeded by a refused logo

  write_filled_image("data/data03.dt", 562, 469, 0);
  EXPECT_TRUE(logo_init());
}

TEST_F(Logo, WorkedPixelsOfTheWobble) {
  set_up_logo(3, 1, bytes(100, 100, 100, 255), 0.0, 128, 0.75);
  pixel_at(logo_fx->surface, 1, 0) = bytes(100, 100, 100, 150);
  pixel_at(logo_fx->surface, 2, 0) = bytes(100, 100, 100, 0);
  for (int x = 0; x < display_width; ++x) pixel_at(display, x, 0) = bytes(255, 255, 255, 77);
  logo_draw(frame_of(display));
  const int x = logo_fx->x;  // sway 0 at tick 128
  EXPECT_EQ(x, 319);
  EXPECT_EQ(pixel_at(display, x, 0), bytes(140, 180, 220, 77));
  // Column 1 has index 1: cos20[1] is 19, so byte 0 is 100 + 19 + 20.
  EXPECT_EQ(pixel_at(display, x + 1, 0), bytes(139, 150, 150, 77));
  EXPECT_EQ(pixel_at(display, x + 2, 0), bytes(127, 63, 63, 77));  // transparent: the darkened band
}

TEST_F(Logo, NegativeSumsClampToZeroAfterTheAlphaCap) {
  set_up_logo(1, 1, bytes(10, 100, 200, 255), 0.0, 128, 128.0);  // row and column index 128
  logo_draw(frame_of(display));
  EXPECT_EQ(pixel_at(display, logo_fx->x, 0), bytes(0, 22, 82, 0));
}

TEST_F(Logo, SwayFollowsTheTickModulo256) {
  for (auto [tick, sway] : {std::pair{128, 0}, {64, 39}, {191, -39}, {256 + 64, 39}}) {
    set_up_logo(2, 1, bytes(0, 0, 0, 255), 2.0, tick, 128.0);  // black stays black
    pixel_at(display, logo_fx->x + sway - 1, 2) = 0x12345678;
    logo_draw(frame_of(display));
    EXPECT_EQ(pixel_at(display, logo_fx->x + sway - 1, 2), darken_pixel(0x12345678)) << tick;
    EXPECT_EQ(pixel_at(display, logo_fx->x + sway, 2), 0u) << tick;
    EXPECT_EQ(pixel_at(display, logo_fx->x + sway + 1, 2), 0u) << tick;
    logo_free();
    display = open_test_display();
  }
}

TEST_F(Logo, RowComesFromTheBounceOrFromTheIntroWhileUnset) {
  set_up_logo(1, 1, bytes(0, 0, 0, 255), 3.99, 128, 128.0);
  pixel_at(display, logo_fx->x, 3) = bytes(9, 9, 9, 9);
  logo_draw(frame_of(display));
  EXPECT_EQ(pixel_at(display, logo_fx->x, 3), bytes(0, 0, 0, 9));
  EXPECT_EQ(logo_fx->y, 3);

  state.logo_y = logo_y_unset;
  logo_fx->y = 7;  // where the intro left it
  pixel_at(display, logo_fx->x, 7) = bytes(9, 9, 9, 9);
  logo_draw(frame_of(display));
  EXPECT_EQ(pixel_at(display, logo_fx->x, 7), bytes(0, 0, 0, 9));
  EXPECT_EQ(state.logo_y, 7.0);
}

// The whole draw against the literal reference: logos
// of assorted pixels and widths (rows ending anywhere in a group of eight) at
// assorted sways, rows and phases, over an arbitrary background.
TEST_F(Logo, WholeDrawMatchesTheLiteralReference) {
  struct Case {
    int w, h, tick;
    double row, phase;
  };
  for (const Case& k : {Case{300, 120, 1000, 6.7, 3456.75}, Case{301, 37, 64, 0.0, 0.5}, Case{13, 9, 191, 8.2, 200.25},
                        Case{562, 160, 7, 3.0, 1e6 + 0.125}}) {
    std::vector<uint32_t> pixels;
    for (int r = 0; r < k.h; ++r)
      for (int c = 0; c < k.w; ++c)
        pixels.push_back(bytes(uint32_t(c * 7 + r) & 0xff, uint32_t(r * 5 + 3 * c) & 0xff, uint32_t(c ^ r) & 0xff,
                               uint32_t(c * 13 + r * 3) % 5 == 0 ? 0 : uint32_t(c * 11 + r) & 0xff));
    std::vector<uint32_t> file;
    for (uint32_t p : pixels) file.push_back(stored(p & 0xff, p >> 8 & 0xff, p >> 16 & 0xff, p >> 24));
    write_image("data/data03.dt", k.w, k.h, file);
    logo_free();
    ASSERT_TRUE(logo_init());
    state.logo_y = k.row;
    state.tick = k.tick;
    state.phase = k.phase;
    for (int y = 0; y < display_height; ++y)
      for (int x = 0; x < display_width; ++x)
        pixel_at(display, x, y) = bytes(uint32_t(x) & 0xff, uint32_t(y) & 0xff, 200, uint32_t(x + y) & 0xff);
    std::vector<uint32_t> expected(pixels_of(display), pixels_of(display) + 640 * 480);
    reference::logo_with_band(expected.data(), pixels.data(), k.w, k.h, 320 - k.w / 2 + reference::logo_sway(k.tick),
                              int(k.row), k.phase);
    logo_draw(frame_of(display));
    const uint32_t* drawn = pixels_of(display);
    for (size_t p = 0; p < expected.size(); ++p)
      ASSERT_EQ(drawn[p], expected[p]) << "width " << k.w << " row " << p / 640 << " column " << p % 640;
  }
}

}  // namespace
