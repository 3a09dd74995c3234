// The two compositing operations that the effects share. Both write pixel
// memory directly; neither presents, locks nor allocates.
#pragma once

#include <SDL/SDL.h>

#include <cstdint>

#include "gfx/frame.h"

// Draws `src` onto `dst` with its top-left pixel at (x, y), clipped on all
// four sides. Per pixel, by the source alpha a: 0 leaves the destination,
// 255 copies the source word, anything else moves each colour byte toward
// the source by a/255 (truncated) and adds a to the alpha byte modulo 256.
void blit_alpha(const SDL_Surface* src, const FrameView& dst, int32_t x, int32_t y);

// Darkens columns x0..x1-1 of rows y0..y1-1 of `frame` toward blue: byte 0 is
// halved, bytes 1 and 2 quartered, byte 3 kept. The rectangle must lie inside
// the frame; it is not clipped.
void darken_rect(const FrameView& frame, int32_t x0, int32_t y0, int32_t x1, int32_t y1);

// One pixel of the mix, for the cases 0 < a < 255.
inline uint32_t mix_pixel(uint32_t source, uint32_t destination) {
  const uint32_t alpha = source >> 24;
  const double factor = alpha / 255.0;
  uint32_t result = ((destination >> 24) + alpha) << 24;  // 8-bit wrap of the alpha sum
  for (int shift = 0; shift < 24; shift += 8) {
    const int d = (destination >> shift) & 0xff;
    const int s = (source >> shift) & 0xff;
    result |= uint32_t(int(d - (d - s) * factor)) << shift;
  }
  return result;
}

// One pixel of darken_rect.
inline uint32_t darken_pixel(uint32_t pixel) {
  return (pixel & 0xff000000u) | ((pixel >> 2) & 0x003f3f00u) | ((pixel & 0xffu) >> 1);
}
