#include "gfx/blit.h"

#include <algorithm>

#include "gfx/blit_paths.h"
#include "gfx/fast_paths.h"

void mix_row_plain(const uint32_t* source, uint32_t* destination, int count) {
  for (int c = 0; c < count; ++c) {
    const uint32_t pixel = source[c];
    const uint32_t alpha = pixel >> 24;
    if (alpha == 0) continue;
    destination[c] = alpha == 255 ? pixel : mix_pixel(pixel, destination[c]);
  }
}

void darken_row_plain(uint32_t* line, int count) {
  for (int c = 0; c < count; ++c) line[c] = darken_pixel(line[c]);
}

namespace {

// First pixel of row `row`: the two pitches in use (the display's and the
// panel's) get a shift, every other pitch the general product; all give the
// same result.
uint32_t* row_start(const FrameView& frame, int row) {
  switch (frame.pitch) {
    case 640: return frame.pixels + (size_t(row) << 9) + (size_t(row) << 7);
    case 512: return frame.pixels + (size_t(row) << 9);
    default: return frame.row(row);
  }
}

// Chosen once, at start-up (gfx/fast_paths.h).
const MixRow mix_row = chosen_path(mix_row_plain, mix_row_avx2);
const DarkenRow darken_row = chosen_path(darken_row_plain, darken_row_avx2);

}  // namespace

void blit_alpha(const SDL_Surface* src, const FrameView& dst, int32_t x, int32_t y) {
  const int sw = src->w, sh = src->h, dw = dst.width, dh = dst.height;
  // Clip in 64 bits so that positions near the int32 limits cannot overflow.
  const int64_t left = std::max<int64_t>(x, 0), top = std::max<int64_t>(y, 0);
  const int64_t right = std::min<int64_t>(int64_t{x} + sw, dw);
  const int64_t bottom = std::min<int64_t>(int64_t{y} + sh, dh);
  if (right <= left || bottom <= top) return;

  const uint32_t* source = pixels_of(src);
  const int columns = int(right - left);
  for (int64_t row = top; row < bottom; ++row) {
    const uint32_t* s = source + size_t(row - y) * size_t(sw) + size_t(left - x);
    mix_row(s, row_start(dst, int(row)) + left, columns);
  }
}

void darken_rect(const FrameView& frame, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  if (x1 <= x0) return;
  for (int32_t row = y0; row < y1; ++row) darken_row(row_start(frame, row) + x0, x1 - x0);
}
