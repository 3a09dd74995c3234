#include "reference/reference.h"

#include <algorithm>
#include <cmath>

#include "gfx/atlas.h"
#include "scene/logo.h"
#include "scene/scroller.h"

namespace reference {

namespace {

uint32_t& at(uint32_t* frame, int x, int y) { return frame[size_t(y) * frame_width + size_t(x)]; }

uint32_t& surface_pixel(const SDL_Surface* surface, int x, int y) {
  return static_cast<uint32_t*>(surface->pixels)[size_t(y) * size_t(surface->w) + size_t(x)];
}

uint32_t byte_of(uint32_t pixel, int k) { return (pixel >> (8 * k)) & 0xff; }

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

uint32_t mix(uint32_t s, uint32_t d) {
  const int a = int(s >> 24);
  if (a == 0) return d;
  if (a == 255) return s;
  const double f = double(a) / 255.0;
  uint32_t out = 0;
  for (int k = 0; k < 3; ++k) {
    const int dk = int(byte_of(d, k)), sk = int(byte_of(s, k));
    const double moved = double(dk) - double(dk - sk) * f;
    out |= uint32_t(std::trunc(moved)) << (8 * k);
  }
  return out | uint32_t(((d >> 24) + uint32_t(a)) % 256) << 24;
}

void blit(const SDL_Surface* src, SDL_Surface* dst, int x, int y) {
  for (int r = 0; r < src->h; ++r)
    for (int c = 0; c < src->w; ++c) {
      const int dx = x + c, dy = y + r;
      if (dx < 0 || dy < 0 || dx >= dst->w || dy >= dst->h) continue;
      surface_pixel(dst, dx, dy) = mix(surface_pixel(src, c, r), surface_pixel(dst, dx, dy));
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

uint32_t fade_in_pixel(uint32_t pixel, int level, uint32_t kept_alpha) {
  const double f = (pixel >> 24) / 255.0;
  uint32_t out = kept_alpha << 24;
  for (int k = 0; k < 3; ++k) out |= uint32_t(int(byte_of(pixel, k) / 255.0 * level * f)) << (8 * k);
  return out;
}

uint32_t fade_to_black_pixel(uint32_t b, double a) {
  return uint32_t(byte_of(b, 0) * a) | uint32_t(byte_of(b, 1) * (a * a)) << 8 |
         uint32_t(byte_of(b, 2) * (a * a * a)) << 16;
}

uint32_t limit_to_level(uint32_t pixel, uint8_t level) {
  uint32_t out = pixel & 0xff000000u;
  for (int k = 0; k < 3; ++k) out |= std::min<uint32_t>(byte_of(pixel, k), level) << (8 * k);
  return out;
}

void fade_band(uint32_t* frame, uint8_t level) {
  for (int y = 172; y <= 399; ++y)
    for (int x = 0; x < frame_width; ++x) at(frame, x, y) = limit_to_level(at(frame, x, y), level);
}

int logo_wave(int entry, double amplitude) {
  return int(std::cos(entry / 255.0 * 360.0 * 3.14 / 180.0) * amplitude);
}

int logo_sway(int tick) { return int(std::sin((tick & 255) / 255.0 * 360.0 * 3.14 / 180.0) * 40.0); }

void logo_with_band(uint32_t* frame, const uint32_t* logo_pixels, int w, int h, int left, int top, double phase) {
  darken_rect(frame, 0, 0, frame_width, 171);
  const double amplitude[3] = {20.0, 40.0, 60.0};
  int wave[3][256];  // the formula per entry, looked up per pixel
  for (int k = 0; k < 3; ++k)
    for (int i = 0; i < 256; ++i) wave[k][i] = logo_wave(i, amplitude[k]);
  for (int r = 0; r < h; ++r)
    for (int c = 0; c < w; ++c) {
      const uint32_t s = logo_pixels[size_t(r) * size_t(w) + size_t(c)];
      const int alpha = int(s >> 24);
      if (alpha == 0) continue;
      uint32_t& d = at(frame, left + c, top + r);
      uint32_t out = d & 0xff000000u;
      for (int k = 0; k < 3; ++k) {
        int value = int(byte_of(s, k)) + wave[k][int(c + phase) & 255] + wave[k][int(r + phase) & 255];
        value = std::max(std::min(value, alpha), 0);
        out |= uint32_t(value) << (8 * k);
      }
      d = out;
    }
}

void logo_with_band(uint32_t* frame, const LogoFx& logo, int tick, double phase, double logo_y) {
  logo_with_band(frame, static_cast<const uint32_t*>(logo.surface->pixels), logo.surface->w, logo.surface->h,
                 logo.x + logo_sway(tick), int16_t(logo_y), phase);
}

int scroller_letter_row(double scroll_x, int32_t x) { return int(std::sin((scroll_x + x / 10.0) / 10.0) * 15 + 420); }

void scroller_reflection(uint32_t* frame) {
  for (int k = 0; k <= 14; ++k)
    for (int c = 0; c < frame_width; ++c) {
      uint32_t& d = at(frame, c, 475 - k);
      d = (d & 0xff000000u) | (darken(at(frame, c, 410 + 4 * k)) & 0x00ffffffu);
    }
}

double scroller(SDL_Surface* display_surface, const SineScroller& s, double scroll_x) {
  auto* frame = static_cast<uint32_t*>(display_surface->pixels);
  darken_rect(frame, 0, 401, frame_width, frame_height);
  for (int32_t i = 0; i < s.length; ++i) {
    const unsigned char byte = static_cast<unsigned char>(s.text[size_t(i)]);
    if (byte == ' ') continue;
    const int32_t x = int32_t(s.x_offsets[size_t(i)] + scroll_x);
    if (-32 <= x && x < frame_width) {
      const SDL_Surface* glyph = atlas_glyph(s.atlas, s.char_map[byte]);
      if (glyph != nullptr) blit(glyph, display_surface, x, scroller_letter_row(scroll_x, x));
    }
    if (x <= -s.total_width) scroll_x = frame_width;
  }
  scroller_reflection(frame);
  darken_rect(frame, 0, 471, frame_width, frame_height);
  return scroll_x;
}

void divider_lines(uint32_t* frame, const uint32_t* saved_row, int upper_row) {
  for (int x = 0; x < frame_width; ++x) {
    at(frame, x, 400) = saved_row[639 - x];
    at(frame, x, upper_row) = saved_row[x];
  }
}

}  // namespace reference
