// The AVX2 version of the logo's rows; the same pixels as the plain loop of
// logo.cpp.
#include "gfx/avx2.h"
#include "gfx/frame.h"
#include "scene/logo_paths.h"

#if INTRO_AVX2_PATHS
namespace {

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
INTRO_TARGET_AVX2 void draw_rows(const LogoFx& logo, const LogoFrame& frame) {
  const int w = logo.surface->w, h = logo.surface->h;
  alignas(32) uint64_t column_waves[logo_max_width];
  for (int c = 0; c < w; ++c) column_waves[c] = wave_lanes(logo, wave_index(c, frame.phase));

  const __m256i alpha_bits = _mm256_set1_epi32(int(0xff000000u));
  const uint32_t* source = pixels_of(logo.surface);
  uint32_t* out = frame.out;
  for (int r = 0; r < h; ++r, source += w, out += frame.pitch) {
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

}  // namespace

const DrawLogoRows draw_logo_rows_avx2 = draw_rows;
#else
const DrawLogoRows draw_logo_rows_avx2 = nullptr;
#endif
