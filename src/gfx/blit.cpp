#include "gfx/blit.h"

#include <algorithm>

#include "gfx/display.h"

namespace {

// First destination index of row `row`: the two widths in use get a shift,
// every other width the general product; all give the same result.
size_t row_start(int width, int row) {
  switch (width) {
    case 640: return (size_t(row) << 9) + (size_t(row) << 7);
    case 512: return size_t(row) << 9;
    default: return size_t(row) * size_t(width);
  }
}

}  // namespace

void blit_alpha(const SDL_Surface* src, SDL_Surface* dst, int32_t x, int32_t y) {
  const int sw = src->w, sh = src->h, dw = dst->w, dh = dst->h;
  // Clip in 64 bits so that positions near the int32 limits cannot overflow.
  const int64_t left = std::max<int64_t>(x, 0), top = std::max<int64_t>(y, 0);
  const int64_t right = std::min<int64_t>(int64_t{x} + sw, dw);
  const int64_t bottom = std::min<int64_t>(int64_t{y} + sh, dh);
  if (right <= left || bottom <= top) return;

  const uint32_t* source = pixels_of(src);
  uint32_t* destination = pixels_of(dst);
  const int columns = int(right - left);
  for (int64_t row = top; row < bottom; ++row) {
    const uint32_t* s = source + size_t(row - y) * size_t(sw) + size_t(left - x);
    uint32_t* d = destination + row_start(dw, int(row)) + size_t(left);
    for (int c = 0; c < columns; ++c) {
      const uint32_t pixel = s[c];
      const uint32_t alpha = pixel >> 24;
      if (alpha == 0) continue;
      d[c] = alpha == 255 ? pixel : mix_pixel(pixel, d[c]);
    }
  }
}

void darken_rect(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  uint32_t* pixels = pixels_of(display);
  for (int32_t row = y0; row < y1; ++row) {
    uint32_t* line = pixels + row_start(display_width, row);
    for (int32_t column = x0; column < x1; ++column) line[column] = darken_pixel(line[column]);
  }
}
