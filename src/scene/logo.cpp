#include "scene/logo.h"

#include <cmath>
#include <new>

#include "gfx/assets.h"
#include "gfx/blit.h"
#include "gfx/fast_paths.h"
#include "gfx/frame.h"
#include "gfx/image.h"
#include "platform/entry_points.h"
#include "scene/angles.h"
#include "scene/anim_state.h"
#include "scene/logo_paths.h"

LogoFx* logo_fx;

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

// The logo row from the bounce; the first frame before any tick takes the
// row the intro left.
int16_t bounce_row(AnimState& state, const LogoFx& logo) {
  double expected = logo_y_unset;
  state.logo_y.compare_exchange_strong(expected, static_cast<double>(logo.y), relaxed);
  return static_cast<int16_t>(state.logo_y.load(relaxed));
}

}  // namespace

double logo_angle(int entry) { return entry / 255.0 * 360.0 * intro_pi / 180.0; }

bool logo_init() {
  SDL_Surface* surface = load_image(logo_path);
  if (surface == nullptr) {
    report_unusable_asset(logo_path, "not a readable 32-bit image");
    return false;
  }
  if (surface->w > logo_max_width || surface->h > logo_max_height) {
    report_unusable_asset(logo_path, "the logo must be at most 562 x 469 pixels");
    lib::SDL_FreeSurface(surface);
    return false;
  }
  auto* logo = new (std::nothrow) LogoFx{};
  if (logo == nullptr) {
    lib::SDL_FreeSurface(surface);
    return false;
  }
  logo->surface = surface;
  logo->x = static_cast<int16_t>(display_width / 2 - surface->w / 2);
  logo->y = static_cast<int16_t>(display_height / 2 - surface->h / 2);
  swap_red_blue(surface);
  fill_tables(*logo);
  logo_fx = logo;

  AnimState& state = *anim_state.load(relaxed);
  state.tick.store(128, relaxed);
  state.velocity.store(0.0f, relaxed);
  state.logo_y.store(logo_y_unset, relaxed);
  return true;
}

namespace {

LogoFrame start_frame(LogoFx& logo, const FrameView& frame) {
  AnimState& state = *anim_state.load(relaxed);
  const int16_t row = bounce_row(state, logo);
  logo.y = row;
  darken_rect(frame, 0, 0, frame.width, darkened_band_rows);
  const int sway = static_cast<int>(logo.sin40[state.tick.load(relaxed) & 255]);
  return {frame.row(row) + logo.x + sway, frame.pitch, state.phase.load(relaxed)};
}

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

void logo_draw(const FrameView& frame) {
  LogoFx& logo = *logo_fx;
  draw_rows(logo, start_frame(logo, frame));
}

void logo_free() {
  if (logo_fx == nullptr) return;
  lib::SDL_FreeSurface(logo_fx->surface);
  delete logo_fx;
  logo_fx = nullptr;
}
