#include "scene/logo.h"

#include <gtest/gtest.h>

#include <vector>

#include "gfx/blit.h"
#include "platform/entry_points.h"
#include "reference/reference.h"
#include "support/asset_files.h"
#include "support/media_double.h"
#include "support/same_pixels.h"

namespace {

// The file stores red first: bytes 0 and 2 are exchanged at set-up.
uint32_t stored(uint32_t pixel) { return (pixel & 0xff00ff00u) | (pixel >> 16 & 0xff) | (pixel & 0xff) << 16; }

class Logo : public ::testing::Test {
 protected:
  void SetUp() override { open_test_display(); }
  void TearDown() override { logo_free(logo); }
  // Sets up a logo of the given pixels (display order), row after row.
  void set_up(int width, int height, std::vector<uint32_t> pixels) {
    for (uint32_t& pixel : pixels) pixel = stored(pixel);
    write_image("data/data03.dt", width, height, pixels);
    logo_free(logo);
    ASSERT_TRUE(logo_init(logo));
  }
  // The logo drawn with its top at row 0 over a frame of `under`.
  std::vector<uint32_t> drawn(int32_t tick, double phase, uint32_t under = bytes(255, 255, 255, 77)) {
    std::vector<uint32_t> frame(640 * 480, under);
    logo_draw(logo, FrameView{frame.data(), 640, 480, 640}, 0, tick, phase);
    return frame;
  }
  ScratchDirectory scratch;
  LogoFx logo;
};

// 301 × 101 is centred at 320 − 150, 240 − 50; the file's red-first bytes
// (set_up stores them so) come out in display order.
TEST_F(Logo, SetUpCentresAndSwapsBytes) {
  set_up(301, 101, std::vector<uint32_t>(301 * 101, bytes(1, 2, 3, 4)));
  EXPECT_EQ(logo.x, 170);
  EXPECT_EQ(logo.y, 190);
  EXPECT_EQ(pixel_at(logo.surface, 0, 0), bytes(1, 2, 3, 4));
}

TEST_F(Logo, RefusesALogoThatCannotBeLoadedOrWouldLeaveTheDisplay) {
  testing::internal::CaptureStderr();
  EXPECT_FALSE(logo_init(logo));  // no file
  for (auto [w, h] : {std::pair{563, 10}, {10, 470}}) {
    write_image("data/data03.dt", w, h, std::vector<uint32_t>(size_t(w) * size_t(h)));
    EXPECT_FALSE(logo_init(logo)) << w << " × " << h;
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr().rfind("Cannot load data/data03.dt", 0), 0u);
  EXPECT_EQ(logo.surface, nullptr);
  set_up(562, 469, std::vector<uint32_t>(562 * 469));
}

// Table entry i is at i / 255 × 360° with 3.14 for pi, so the waves are
// 20 k at entry 0, 19 for k = 1 at entry 1, and 1 − 20 k at 128.
// At phase 0.75 column 0 and row 0 take entry 0 (waves 20, 40, 60 twice):
// 100 becomes 140, 180, 220, or is capped by an alpha of 150; column 1 takes
// cos20[1] = 19 for byte 0. At phase 128 every entry is 128 (waves -19,
// -39, -59 twice): 10, 100, 200 gives -28 → 0, 22, 82. A transparent pixel
// shows the darkened band: 255 → 127, 63. Byte 3 stays the frame's.
TEST_F(Logo, WobblesCapsAndClampsEachChannelAsWorkedByHand) {
  set_up(3, 1, {bytes(100, 100, 100, 255), bytes(100, 100, 100, 150), bytes(100, 100, 100, 0)});
  const int x = logo.x;  // sway 0 at tick 128
  EXPECT_EQ(x, 319);
  const std::vector<uint32_t> frame = drawn(128, 0.75);
  EXPECT_EQ(frame[size_t(x)], bytes(140, 180, 220, 77));
  EXPECT_EQ(frame[size_t(x + 1)], bytes(139, 150, 150, 77));
  EXPECT_EQ(frame[size_t(x + 2)], bytes(127, 63, 63, 77));
  set_up(1, 1, {bytes(10, 100, 200, 255)});
  EXPECT_EQ(drawn(128, 128.0)[320], bytes(0, 22, 82, 77));
}

// trunc(sin(tick & 255) × 40): -0.4288 at 128 gives 0, 39.9994 at 64 and
// -39.9985 at 191 give ±39.
TEST_F(Logo, SwayFollowsTheTickModulo256) {
  set_up(1, 1, {bytes(9, 9, 9, 255)});
  for (auto [tick, sway] : {std::pair{128, 0}, {64, 39}, {191, -39}, {256 + 64, 39}}) {
    const std::vector<uint32_t> frame = drawn(tick, 0.0, 0);
    EXPECT_EQ(frame[size_t(logo.x + sway)], bytes(49, 89, 129, 0)) << tick;
    EXPECT_EQ(frame[size_t(logo.x + sway - 1)], 0u) << tick;
  }
}

// The whole draw against the literal reference: logos of assorted pixels and
// widths (rows ending anywhere in a group of eight) at assorted sways, rows
// and phases.
TEST_F(Logo, WholeDrawMatchesTheLiteralReference) {
  struct Case {
    int w, h, tick, row;
    double phase;
  };
  for (const Case& k : {Case{300, 120, 1000, 6, 3456.75}, Case{301, 37, 64, 0, 0.5}, Case{13, 9, 191, 8, 200.25},
                        Case{562, 160, 7, 3, 1e6 + 0.125}}) {
    std::vector<uint32_t> pixels = noise(size_t(k.w) * size_t(k.h), uint32_t(k.w));
    for (size_t i = 0; i < pixels.size(); i += 5) pixels[i] &= 0xffffffu;  // some transparent
    set_up(k.w, k.h, pixels);
    const int left = 320 - k.w / 2 + reference::logo_sway(k.tick);
    ASSERT_TRUE(same_pixels(noise(640 * 480, 1), 640, [&](const FrameView& f) { logo_draw(logo, f, k.row, k.tick, k.phase); },
                            [&](uint32_t* p) { reference::logo_with_band(p, pixels.data(), k.w, k.h, left, k.row, k.phase); }))
        << k.w << " × " << k.h;
  }
}

}  // namespace
