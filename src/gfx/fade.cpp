#include "gfx/fade.h"

#include <cstdint>
#include <memory>
#include <new>

#include "gfx/frame.h"
#include "platform/entry_points.h"

namespace {

constexpr int fade_in_step = 5;
constexpr int fade_in_last_level = 254;  // the levels stop at 250: full intensity is never shown

// One colour byte of the fade-in, formed left to right: (s / 255) × level × f.
uint32_t faded_in_byte(uint32_t source_byte, int level, double alpha_factor) {
  return static_cast<uint32_t>(source_byte / 255.0 * level * alpha_factor);
}

void draw_fade_in_level(const SDL_Surface* image, SDL_Surface* target, int left, int top, int level) {
  const uint32_t* source = pixels_of(image);
  uint32_t* destination = pixels_of(target);
  for (int row = 0; row < image->h; ++row) {
    for (int column = 0; column < image->w; ++column) {
      const uint32_t pixel = source[size_t(row) * size_t(image->w) + size_t(column)];
      const double alpha_factor = (pixel >> 24) / 255.0;
      uint32_t& out = destination[size_t(top + row) * size_t(target->w) + size_t(left + column)];
      uint32_t colour = 0;
      for (int shift = 0; shift < 24; shift += 8)
        colour |= faded_in_byte((pixel >> shift) & 0xff, level, alpha_factor) << shift;
      out = (out & 0xff000000u) | colour;
    }
  }
}

}  // namespace

void fade_in_image(const SDL_Surface* image, SDL_Surface* target) {
  if (image->w > target->w || image->h > target->h) return;  // it is never clipped
  const int half_w = static_cast<int>(image->w / 2.0);
  const int half_h = static_cast<int>(image->h / 2.0);
  const int left = static_cast<int>(target->w / 2.0 - half_w);
  const int top = static_cast<int>(target->h / 2.0 - half_h);
  for (int level = 0; level <= fade_in_last_level; level += fade_in_step) {
    draw_fade_in_level(image, target, left, top, level);
    lib::SDL_UpdateRect(target, left, top, Uint32(image->w), Uint32(image->h));
    lib::SDL_Delay(5);
  }
}

void fade_to_black(SDL_Surface* display) {
  constexpr size_t pixel_count = size_t(display_width) * display_height;
  std::unique_ptr<uint32_t[]> snapshot(new (std::nothrow) uint32_t[pixel_count]);
  if (!snapshot) return;
  const uint32_t* live = pixels_of(display);
  for (size_t i = 0; i < pixel_count; ++i) snapshot[i] = live[i];

  // 19 subtractions of 0.05 leave 0.0499..97; the 20th goes just below 0.
  for (double a = 1.0; a > 0; a -= 0.05) {
    const double a2 = a * a;
    const double a3 = a * a * a;
    uint32_t* out = pixels_of(display);
    for (size_t i = 0; i < pixel_count; ++i) {
      const uint32_t b = snapshot[i];
      const auto blue = static_cast<uint32_t>((b & 0xff) * a);
      const auto green = static_cast<uint32_t>(((b >> 8) & 0xff) * a2);
      const auto red = static_cast<uint32_t>(((b >> 16) & 0xff) * a3);
      out[i] = blue | (green << 8) | (red << 16);  // byte 3 is cleared
    }
    lib::SDL_Delay(1);
    lib::SDL_Flip(display);
  }
}
