#include "scene/dividers.h"

#include <cmath>

#include "gfx/fast_paths.h"
#include "gfx/frame.h"
#include "scene/angles.h"
#include "scene/dividers_paths.h"

namespace {

constexpr int band_first_row = 172;
constexpr int band_end_row = 400;  // exclusive: the lower divider is never faded

uint8_t limited(uint32_t byte, uint8_t level) { return byte > level ? level : uint8_t(byte); }

}  // namespace

int upper_divider_row(int logo_height) { return logo_height + 10; }

uint32_t divider_grey(int column) {
  const int grey = static_cast<int>(256 * std::sin(double(column) / divider_length * 180 * intro_pi / 180));
  return uint32_t(grey & 0xff) * 0x010101u;
}

void draw_divider_lines(const FrameView& frame, const uint32_t* saved_row, int upper_row) {
  uint32_t* upper = frame.row(upper_row);
  uint32_t* lower = frame.row(lower_divider_row);
  for (int i = 0; i < divider_length; ++i) {
    lower[divider_length - 1 - i] = saved_row[i];
    upper[i] = saved_row[i];
  }
}

void limit_pixels_plain(uint32_t* pixel, uint32_t* end, uint8_t level) {
  for (; pixel != end; ++pixel) {
    const uint32_t p = *pixel;
    *pixel = (p & 0xff000000u) | limited(p & 0xff, level) | (uint32_t(limited((p >> 8) & 0xff, level)) << 8) |
             (uint32_t(limited((p >> 16) & 0xff, level)) << 16);
  }
}

namespace {

// Chosen once, at start-up (gfx/fast_paths.h).
const LimitPixels limit_pixels = chosen_path(limit_pixels_plain, limit_pixels_avx2);

}  // namespace

void fade_in_band(const FrameView& frame, uint8_t level) {
  for (int row = band_first_row; row < band_end_row; ++row) {
    uint32_t* line = frame.row(row);
    limit_pixels(line, line + frame.width, level);
  }
}
