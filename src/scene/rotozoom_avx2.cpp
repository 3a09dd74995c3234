// The AVX2 version of the background's frame; the same pixels as the plain
// loop of rotozoom.cpp.
#include "gfx/avx2.h"
#include "scene/rotozoom_paths.h"

#if INTRO_AVX2_PATHS
namespace {

// Eight pixels of one row, from column k on: the same double operations in
// the same order as the plain loop, truncated by the same conversion.
INTRO_TARGET_AVX2 inline void draw_eight(const StepTables& t, const double* column_zoom, __m256d x, __m256d y,
                                         const int* texel_words, int k, uint32_t* out) {
  const __m256i low_byte = _mm256_set1_epi32(0xff);
  const __m128i u_low = _mm256_cvttpd_epi32(
      _mm256_add_pd(_mm256_add_pd(_mm256_loadu_pd(t.col_sin + k), x), _mm256_load_pd(column_zoom + k)));
  const __m128i u_high = _mm256_cvttpd_epi32(
      _mm256_add_pd(_mm256_add_pd(_mm256_loadu_pd(t.col_sin + k + 4), x), _mm256_load_pd(column_zoom + k + 4)));
  const __m128i v_low = _mm256_cvttpd_epi32(_mm256_sub_pd(y, _mm256_loadu_pd(t.col_cos + k)));
  const __m128i v_high = _mm256_cvttpd_epi32(_mm256_sub_pd(y, _mm256_loadu_pd(t.col_cos + k + 4)));
  // Both sums stay well inside 16 bits, so the low 8 bits of the 32-bit
  // truncation are those of the 16-bit one.
  const __m256i u = _mm256_and_si256(_mm256_set_m128i(u_high, u_low), low_byte);
  const __m256i v = _mm256_and_si256(_mm256_set_m128i(v_high, v_low), low_byte);
  const __m256i index = _mm256_or_si256(_mm256_slli_epi32(v, 8), u);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k), _mm256_i32gather_epi32(texel_words, index, 4));
}

// The column accumulator Q restarts at 0.0 on every row and grows by the
// same zoom, so its 640 values are the same in every row: they are summed
// once per frame, as are the rows' X and Y. Every pixel then depends only on
// its row's X and Y and its column's entries, so the frame is drawn in tiles
// of a few rows, which keeps the texels they share in the first-level cache.
INTRO_TARGET_AVX2 void draw_frame(const StepTables& t, const uint32_t* texels, const FrameView& frame) {
  const int width = frame.width;
  alignas(32) double column_zoom[display_width];
  double q = 0.0;
  for (int k = 0; k < display_width; ++k, q += t.zoom) column_zoom[k] = q;
  int32_t row_x[display_height], row_y[display_height];
  double row_zoom = 0.0;
  for (int i = 0; i < display_height; ++i, row_zoom += t.zoom) {
    row_x[i] = static_cast<int32_t>(width + t.row_cos[i]);
    row_y[i] = static_cast<int32_t>((width + t.row_sin[i]) + row_zoom);
  }

  constexpr int tile_rows = 16, tile_columns = 128;  // both divide the display's size
  const int* texel_words = reinterpret_cast<const int*>(texels);
  for (int top = 0; top < display_height; top += tile_rows)
    for (int left = 0; left < display_width; left += tile_columns)
      for (int i = top; i < top + tile_rows; ++i) {
        const __m256d x = _mm256_set1_pd(row_x[i]);
        const __m256d y = _mm256_set1_pd(row_y[i]);
        uint32_t* out = frame.row(i);
        for (int k = left; k < left + tile_columns; k += 8) draw_eight(t, column_zoom, x, y, texel_words, k, out);
      }
}

}  // namespace

const DrawBackground draw_background_avx2 = draw_frame;
#else
const DrawBackground draw_background_avx2 = nullptr;
#endif
