#include "scene/logo.h"

#include <cmath>

#include "gfx/assets.h"
#include "gfx/blit.h"
#include "gfx/fast_paths.h"
#include "gfx/frame.h"
#include "gfx/image.h"
#include "platform/entry_points.h"
#include "scene/angles.h"
#include "scene/logo_paths.h"

namespace {

constexpr int darkened_band_rows = 171;

// trunc(value) as a 16-bit integer, read back through its low byte as signed.
int8_t wave_entry(double value) {
  return static_cast<int8_t>(static_cast<uint8_t>(static_cast<int16_t>(value)));
}

void fill_tables(LogoFx& logo) {
  for (int i = 0; i < 256; ++i) {
    const double angle = logo_angle(i);
    logo.sin40[i] = std::sin(angle) * 40.0;
    logo.cos20[i] = wave_entry(std::cos(angle) * 20.0);
    logo.cos40[i] = wave_entry(std::cos(angle) * 40.0);
    logo.cos60[i] = wave_entry(std::cos(angle) * 60.0);
  }
}

}  // namespace

double logo_angle(int entry) { return entry / 255.0 * 360.0 * intro_pi / 180.0; }

bool logo_init(LogoFx& logo) {
  SDL_Surface* surface = load_asset_image(logo_path);
  if (surface == nullptr) return false;
  if (surface->w > logo_max_width || surface->h > logo_max_height) {
    report_unusable_asset(logo_path, "the logo must be at most 562 x 469 pixels");
    lib::SDL_FreeSurface(surface);
    return false;
  }
  logo.surface = surface;
  logo.x = static_cast<int16_t>(display_width / 2 - surface->w / 2);
  logo.y = static_cast<int16_t>(display_height / 2 - surface->h / 2);
  swap_red_blue(surface);
  fill_tables(logo);
  return true;
}

namespace {

void draw_rows_plain(const LogoFx& logo, const LogoFrame& frame) {
  const int w = logo.surface->w, h = logo.surface->h;
  const uint32_t* source = pixels_of(logo.surface);
  uint32_t* out = frame.out;
  for (int r = 0; r < h; ++r, out += frame.pitch - w) {
    const int rho = wave_index(r, frame.phase);
    for (int c = 0; c < w; ++c, ++out) {
      const uint32_t s = *source++;
      if ((s >> 24) == 0) continue;
      *out = wobbled_pixel(logo, s, *out, wave_index(c, frame.phase), rho);
    }
  }
}

// Chosen once, at start-up (gfx/fast_paths.h).
const DrawLogoRows draw_rows = chosen_path(draw_rows_plain, draw_logo_rows_avx2);

}  // namespace

void logo_draw(const LogoFx& logo, const FrameView& frame, int row, int32_t tick, double phase) {
  darken_rect(frame, 0, 0, frame.width, darkened_band_rows);
  const int sway = static_cast<int>(logo.sin40[tick & 255]);
  draw_rows(logo, {frame.row(row) + logo.x + sway, frame.pitch, phase});
}

void logo_free(LogoFx& logo) {
  if (logo.surface != nullptr) lib::SDL_FreeSurface(logo.surface);
  logo.surface = nullptr;
}
