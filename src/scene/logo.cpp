#include "scene/logo.h"

#include <cmath>
#include <new>

#include "platform/entry_points.h"
#include "gfx/assets.h"
#include "gfx/blit.h"
#include "gfx/cpu_features.h"
#include "gfx/display.h"
#include "gfx/image.h"
#include "scene/angles.h"
#include "scene/anim_state.h"

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

// Limited to the pixel's alpha first, then to zero from below.
uint32_t capped_channel(int value, int alpha) {
  if (value > alpha) value = alpha;
  if (value < 0) value = 0;
  return static_cast<uint32_t>(value);
}

int wave_index(int position, double phase) { return static_cast<int32_t>(position + phase) & 255; }

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
  logo->x = static_cast<int16_t>(display->w / 2 - surface->w / 2);
  logo->y = static_cast<int16_t>(display->h / 2 - surface->h / 2);
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

// Where and how one frame draws the logo, read once from the animation state.
struct LogoFrame {
  uint32_t* out;  // display pixel of the logo's first pixel
  double phase;
};

LogoFrame start_frame(LogoFx& logo, void (*darken)(int32_t, int32_t, int32_t, int32_t)) {
  AnimState& state = *anim_state.load(relaxed);
  const int16_t row = bounce_row(state, logo);
  logo.y = row;
  darken(0, 0, display_width, darkened_band_rows);
  const int sway = static_cast<int>(logo.sin40[state.tick.load(relaxed) & 255]);
  return {pixels_of(display) + row * display_width + logo.x + sway, state.phase.load(relaxed)};
}

// One logo pixel over the display pixel `d`: each channel shifted by its
// column and row waves, capped by the alpha, then by zero.
uint32_t wobbled_pixel(const LogoFx& logo, uint32_t s, uint32_t d, int kappa, int rho) {
  const int alpha = static_cast<int>(s >> 24);
  const int blue = static_cast<int>(s & 0xff) + (logo.cos20[kappa] + logo.cos20[rho]);
  const int green = static_cast<int>((s >> 8) & 0xff) + (logo.cos40[kappa] + logo.cos40[rho]);
  const int red = static_cast<int>((s >> 16) & 0xff) + (logo.cos60[kappa] + logo.cos60[rho]);
  return (d & 0xff000000u) | capped_channel(blue, alpha) | (capped_channel(green, alpha) << 8) |
         (capped_channel(red, alpha) << 16);
}

void draw_rows_scalar(const LogoFx& logo, const LogoFrame& frame) {
  const int w = logo.surface->w, h = logo.surface->h;
  const uint32_t* source = pixels_of(logo.surface);
  uint32_t* out = frame.out;
  for (int r = 0; r < h; ++r, out += display->w - w) {
    const int rho = wave_index(r, frame.phase);
    for (int c = 0; c < w; ++c, ++out) {
      const uint32_t s = *source++;
      if ((s >> 24) == 0) continue;
      *out = wobbled_pixel(logo, s, *out, wave_index(c, frame.phase), rho);
    }
  }
}

#if INTRO_AVX2_PATHS
// The three waves of one table entry as 16-bit lanes (bytes 0, 1, 2 and a
// zero for byte 3), the layout of a pixel widened to 16 bits.
uint64_t wave_lanes(const LogoFx& logo, int index) {
  return uint64_t(uint16_t(logo.cos20[index])) | uint64_t(uint16_t(logo.cos40[index])) << 16 |
         uint64_t(uint16_t(logo.cos60[index])) << 32;
}

// Four pixels widened to 16-bit lanes, shifted by their waves and capped by
// their own alpha (copied into all four lanes of each pixel). Negative values
// are left for the pack, which turns them into zero.
INTRO_TARGET_AVX2 __m256i wobble_four(__m128i pixels, __m256i waves) {
  const __m256i alpha_lanes = _mm256_setr_epi8(6, 7, 6, 7, 6, 7, 6, 7, 14, 15, 14, 15, 14, 15, 14, 15, 6, 7, 6, 7,
                                               6, 7, 6, 7, 14, 15, 14, 15, 14, 15, 14, 15);
  const __m256i wide = _mm256_cvtepu8_epi16(pixels);
  return _mm256_min_epi16(_mm256_add_epi16(wide, waves), _mm256_shuffle_epi8(wide, alpha_lanes));
}

// Eight pixels per step in 16-bit lanes: the same integer sums, cap and
// clamp as wobbled_pixel. The column waves are laid out once per frame.
INTRO_TARGET_AVX2 void draw_rows_avx2(const LogoFx& logo, const LogoFrame& frame) {
  const int w = logo.surface->w, h = logo.surface->h;
  alignas(32) uint64_t column_waves[logo_max_width];
  for (int c = 0; c < w; ++c) column_waves[c] = wave_lanes(logo, wave_index(c, frame.phase));

  const __m256i alpha_bits = _mm256_set1_epi32(int(0xff000000u));
  const uint32_t* source = pixels_of(logo.surface);
  uint32_t* out = frame.out;
  for (int r = 0; r < h; ++r, source += w, out += display->w) {
    const int rho = wave_index(r, frame.phase);
    const __m256i row_waves = _mm256_set1_epi64x(int64_t(wave_lanes(logo, rho)));
    int c = 0;
    for (; c + 8 <= w; c += 8) {
      const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + c));
      const __m256i transparent = _mm256_cmpeq_epi32(_mm256_and_si256(s, alpha_bits), _mm256_setzero_si256());
      if (_mm256_movemask_epi8(transparent) == -1) continue;
      const __m256i* columns = reinterpret_cast<const __m256i*>(column_waves + c);
      const __m256i low = wobble_four(_mm256_castsi256_si128(s), _mm256_add_epi16(_mm256_load_si256(columns), row_waves));
      const __m256i high =
          wobble_four(_mm256_extracti128_si256(s, 1), _mm256_add_epi16(_mm256_load_si256(columns + 1), row_waves));
      // The pack clamps at zero and interleaves the halves by 128-bit lane;
      // the permute puts the eight pixels back in order.
      const __m256i colours = _mm256_permute4x64_epi64(_mm256_packus_epi16(low, high), 0xd8);
      __m256i* at = reinterpret_cast<__m256i*>(out + c);
      const __m256i d = _mm256_loadu_si256(at);
      const __m256i written = _mm256_blendv_epi8(colours, d, alpha_bits);  // byte 3 stays the display's
      _mm256_storeu_si256(at, _mm256_blendv_epi8(written, d, transparent));
    }
    for (; c < w; ++c)
      if ((source[c] >> 24) != 0) out[c] = wobbled_pixel(logo, source[c], out[c], wave_index(c, frame.phase), rho);
  }
}
#endif

}  // namespace

void logo_draw() {
  LogoFx& logo = *logo_fx;
  const LogoFrame frame = start_frame(logo, darken_rect);
#if INTRO_AVX2_PATHS
  if (cpu_runs_avx2()) {
    draw_rows_avx2(logo, frame);
    return;
  }
#endif
  draw_rows_scalar(logo, frame);
}

void logo_draw_scalar() {
  LogoFx& logo = *logo_fx;
  draw_rows_scalar(logo, start_frame(logo, darken_rect_scalar));
}

void logo_free() {
  if (logo_fx == nullptr) return;
  lib::SDL_FreeSurface(logo_fx->surface);
  delete logo_fx;
  logo_fx = nullptr;
}
