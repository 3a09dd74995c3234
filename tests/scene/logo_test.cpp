#include "scene/logo.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "reference/reference.h"
#include "support/media_double.h"
#include "support/same_pixels.h"

namespace {

// Each test works in a fresh directory with a data/ of its own.
class Logo : public ::testing::Test {
 protected:
  void SetUp() override {
    open_test_display();
    std::filesystem::create_directories(scratch / "data");
    std::filesystem::current_path(scratch);
  }
  void TearDown() override {
    logo_free(logo);
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(scratch);
  }
  // Sets up a logo of the given pixels (display order) from a file that
  // stores red first, as the intro's does: width, height and depth 32 as
  // 16-bit numbers, the pixel words, and three bytes past the last pixel,
  // which the loader ignores.
  bool set_up(int width, int height, std::vector<uint32_t> pixels) {
    for (uint32_t& p : pixels) p = (p & 0xff00ff00u) | (p >> 16 & 0xff) | (p & 0xff) << 16;
    const uint16_t header[] = {uint16_t(width), uint16_t(height), 32};
    std::ofstream file("data/data03.dt", std::ios::binary);
    file.write(reinterpret_cast<const char*>(header), sizeof header);
    file.write(reinterpret_cast<const char*>(pixels.data()), std::streamsize(pixels.size() * 4)) << "end";
    file.close();
    logo_free(logo);
    return logo_init(logo);
  }
  const std::filesystem::path previous = std::filesystem::current_path();
  const std::filesystem::path scratch = "/tmp/logo_test_" + std::to_string(getpid());
  LogoFx logo;
};

}  // namespace

// Centred, a 3 × 1 logo starts at column 320 − 1. Table entry i is at
// i / 255 × 360° with 3.14 for pi, so the waves are 20 k at entry 0, 19 for k = 1 at entry
// 1, and 1 − 20 k at 128. At tick 128 (no sway) and phase 0.75 column 0 and
// row 0 take entry 0 (waves 20, 40, 60 twice): 100 becomes 140, 180, 220, or
// is capped by an alpha of 150; column 1 takes cos20[1] = 19 for byte 0. At
// phase 128 every entry is 128 (waves -19, -39, -59 twice): 10, 100, 200
// gives -28 → 0, 22, 82. A transparent pixel shows the darkened band: 255 →
// 127, 63. Byte 3 stays the frame's.
TEST_F(Logo, WobblesCapsAndClampsEachChannelAsWorkedByHand) {
  ASSERT_TRUE(set_up(3, 1, {bytes(100, 100, 100, 255), bytes(100, 100, 100, 150), bytes(100, 100, 100, 0)}));
  std::vector<uint32_t> frame(640 * 480, bytes(255, 255, 255, 77));
  logo_draw(logo, FrameView{frame.data(), 640, 480, 640}, 0, 128, 0.75);
  EXPECT_EQ(std::vector<uint32_t>(&frame[319], &frame[322]),
            (std::vector<uint32_t>{bytes(140, 180, 220, 77), bytes(139, 150, 150, 77), bytes(127, 63, 63, 77)}));
  ASSERT_TRUE(set_up(1, 1, {bytes(10, 100, 200, 255)}));
  logo_draw(logo, FrameView{frame.data(), 640, 480, 640}, 0, 128, 128.0);
  EXPECT_EQ(frame[320], bytes(0, 22, 82, 77));
}

// The whole draw against the literal reference: logos of assorted pixels and
// widths (rows ending anywhere in a group of eight), the largest that fits
// the display when it sways and rises (562 × 469) among them, at sways of 0
// and ±39 (trunc(sin(entry 64 or 191) × 40)), ticks past 256, rows and
// phases. (A logo a pixel wider or higher is refused: BadFiles.)
TEST_F(Logo, WholeDrawMatchesTheLiteralReference) {
  struct Case { int w, h, tick, row; double phase; };
  for (const Case& k : {Case{300, 120, 1000, 6, 3456.75}, {301, 37, 64, 0, 0.5}, {13, 9, 191, 8, 200.25},
                        {562, 469, 7, 3, 1e6 + 0.125}}) {
    std::vector<uint32_t> pixels = noise(size_t(k.w) * size_t(k.h), uint32_t(k.w));
    for (size_t i = 0; i < pixels.size(); i += 5) pixels[i] &= 0xffffffu;  // some transparent
    ASSERT_TRUE(set_up(k.w, k.h, pixels));
    const int left = 320 - k.w / 2 + reference::logo_sway(k.tick);
    ASSERT_TRUE(same_pixels(
        noise(640 * 480, 1), 640, [&](const FrameView& f) { logo_draw(logo, f, k.row, k.tick, k.phase); },
        [&](uint32_t* p) { reference::logo_with_band(p, pixels.data(), k.w, k.h, left, k.row, k.phase); }))
        << k.w << " × " << k.h;
  }
  EXPECT_EQ(reference::logo_sway(64), 39);
  EXPECT_EQ(reference::logo_sway(256 + 191), -39);
}
