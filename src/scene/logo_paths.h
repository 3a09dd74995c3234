// The logo's row loop: the plain one (logo.cpp) and the AVX2 one
// (logo_avx2.cpp, null where none is compiled), with the per-pixel formula
// both use.
#pragma once

#include <cstdint>

#include "scene/logo.h"

// Where and how one frame draws the logo.
struct LogoFrame {
  uint32_t* out;  // the frame pixel under the logo's first pixel
  int pitch;      // pixels from one frame row to the next
  double phase;
};

// Draws every logo pixel of nonzero alpha over the frame.
using DrawLogoRows = void (*)(const LogoFx& logo, const LogoFrame& frame);

extern const DrawLogoRows draw_logo_rows_avx2;

// The wave table entry of a column or row.
inline int wave_index(int position, double phase) { return static_cast<int32_t>(position + phase) & 255; }

// Limited to the pixel's alpha first, then to zero from below.
inline uint32_t capped_channel(int value, int alpha) {
  if (value > alpha) value = alpha;
  if (value < 0) value = 0;
  return static_cast<uint32_t>(value);
}

// One logo pixel over the frame pixel `d`: each channel shifted by its column
// (kappa) and row (rho) waves, capped by the alpha, then by zero; byte 3 stays
// the frame's.
inline uint32_t wobbled_pixel(const LogoFx& logo, uint32_t s, uint32_t d, int kappa, int rho) {
  const int alpha = static_cast<int>(s >> 24);
  const int blue = static_cast<int>(s & 0xff) + (logo.cos20[kappa] + logo.cos20[rho]);
  const int green = static_cast<int>((s >> 8) & 0xff) + (logo.cos40[kappa] + logo.cos40[rho]);
  const int red = static_cast<int>((s >> 16) & 0xff) + (logo.cos60[kappa] + logo.cos60[rho]);
  return (d & 0xff000000u) | capped_channel(blue, alpha) | (capped_channel(green, alpha) << 8) |
         (capped_channel(red, alpha) << 16);
}
