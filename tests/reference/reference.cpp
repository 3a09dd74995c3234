#include "reference/reference.h"

#include <algorithm>
#include <cmath>

namespace reference {

namespace {

uint32_t& at(uint32_t* frame, int x, int y) { return frame[size_t(y) * frame_width + size_t(x)]; }

uint32_t byte_of(uint32_t pixel, int k) { return (pixel >> (8 * k)) & 0xff; }

double radians_of_entry(int entry) { return entry / 255.0 * 360.0 * 3.14 / 180.0; }

uint32_t mix(uint32_t s, uint32_t d) {
  const int a = int(s >> 24);
  if (a == 255) return s;
  uint32_t out = ((d >> 24) + uint32_t(a)) % 256 << 24;
  for (int k = 0; k < 3; ++k) {
    const int dk = int(byte_of(d, k)), sk = int(byte_of(s, k));
    out |= uint32_t(std::trunc(dk - (dk - sk) * (a / 255.0))) << (8 * k);
  }
  return out;
}

}  // namespace

// The extended-precision sums are truncated with the x87's own truncating
// store (SSE3's fisttp) instead of a switch of the rounding mode around every
// conversion, whose cost swings by a factor of 30 from run to run on some
// processors: the same values, and a stable time for the benchmark.
#if defined(__x86_64__) && defined(__GNUC__)
#define TRUNCATING_X87_STORE __attribute__((target("sse3")))
#else
#define TRUNCATING_X87_STORE
#endif

TRUNCATING_X87_STORE void background(int step, const uint32_t* texels, uint32_t* frame) {
  const long double theta_extended = step * 360.0L / 640.0L * static_cast<long double>(3.14) / 180.0L;
  const double theta = static_cast<double>(theta_extended);
  const double sine = std::sin(theta), cosine = std::cos(theta);
  const double z = sine / 2.0 + 1.0;
  const long double W = frame_width;
  double R = 0.0;
  uint32_t* out = frame;
  for (int i = 0; i < frame_height; ++i) {
    const int32_t X = static_cast<int32_t>(W + static_cast<double>(cosine * i));
    const int32_t Y = static_cast<int32_t>((W + static_cast<double>(sine * i)) + R);
    double Q = 0.0;
    for (int k = 0; k < frame_width; ++k) {
      const int16_t v = static_cast<int16_t>(Y - static_cast<long double>(static_cast<double>(cosine * k)));
      const int16_t u =
          static_cast<int16_t>((static_cast<long double>(static_cast<double>(sine * k)) + X) + Q);
      *out++ = texels[(uint32_t(v) & 0xff) * 256 + (uint32_t(u) & 0xff)];
      Q = Q + z;
    }
    R = R + z;
  }
}

void blit(const SDL_Surface* src, uint32_t* dst, int width, int height, int x, int y) {
  const auto* source = static_cast<const uint32_t*>(src->pixels);
  for (int r = 0; r < src->h; ++r)
    for (int c = 0; c < src->w; ++c) {
      const int dx = x + c, dy = y + r;
      if (dx < 0 || dy < 0 || dx >= width || dy >= height) continue;
      uint32_t& d = dst[size_t(dy) * size_t(width) + size_t(dx)];
      d = mix(source[size_t(r) * size_t(src->w) + size_t(c)], d);
    }
}

uint32_t darken(uint32_t pixel) {
  return byte_of(pixel, 0) >> 1 | (byte_of(pixel, 1) >> 2) << 8 | (byte_of(pixel, 2) >> 2) << 16 |
         byte_of(pixel, 3) << 24;
}

void darken_rect(uint32_t* frame, int x0, int y0, int x1, int y1) {
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) at(frame, x, y) = darken(at(frame, x, y));
}

void fade_band(uint32_t* frame, uint8_t level) {
  for (uint32_t* pixel = &at(frame, 0, 172); pixel <= &at(frame, frame_width - 1, 399); ++pixel) {
    uint32_t out = *pixel & 0xff000000u;
    for (int k = 0; k < 3; ++k) out |= std::min<uint32_t>(byte_of(*pixel, k), level) << (8 * k);
    *pixel = out;
  }
}

int logo_sway(int tick) { return int(std::sin(radians_of_entry(tick & 255)) * 40.0); }

void logo_with_band(uint32_t* frame, const uint32_t* logo_pixels, int w, int h, int left, int top, double phase) {
  darken_rect(frame, 0, 0, frame_width, 171);
  const double amplitude[3] = {20.0, 40.0, 60.0};
  int wave[3][256];  // the formula per entry, looked up per pixel
  for (int k = 0; k < 3; ++k)
    for (int i = 0; i < 256; ++i) wave[k][i] = int(std::cos(radians_of_entry(i)) * amplitude[k]);
  for (int r = 0; r < h; ++r)
    for (int c = 0; c < w; ++c) {
      const uint32_t s = logo_pixels[size_t(r) * size_t(w) + size_t(c)];
      const int alpha = int(s >> 24);
      if (alpha == 0) continue;
      uint32_t& d = at(frame, left + c, top + r);
      uint32_t out = d & 0xff000000u;
      for (int k = 0; k < 3; ++k) {
        const int value = int(byte_of(s, k)) + wave[k][int(c + phase) & 255] + wave[k][int(r + phase) & 255];
        out |= uint32_t(std::max(std::min(value, alpha), 0)) << (8 * k);
      }
      d = out;
    }
}

}  // namespace reference
