#include "scene/rotozoom.h"

#include <cmath>
#include <new>

#include "gfx/cpu_features.h"
#include "gfx/display.h"
#include "scene/angles.h"
#include "scene/anim_state.h"

RotoZoom* rotozoom;

namespace {

constexpr size_t row_table_size = size_t(rotozoom_steps) * display_height;
constexpr size_t column_table_size = size_t(rotozoom_steps) * display_width;

// The entries of one step: a row table's 480 or a column table's 640.
double* row_entries(double* table, int step) { return table + size_t(step) * display_height; }
double* column_entries(double* table, int step) { return table + size_t(step) * display_width; }

void free_tables(RotoZoom* record) {
  delete[] record->row_cos;
  delete[] record->row_sin;
  delete[] record->col_sin;
  delete[] record->col_cos;
}

void fill_step(RotoZoom& record, int step) {
  const double angle = rotozoom_angle(step);
  const double sine = std::sin(angle);
  record.sin_table[step] = sine;
  record.zoom_table[step] = sine / 2.0 + 1.0;
  record.cos_table[step] = std::cos(angle);
  double* row_cos = row_entries(record.row_cos, step);
  double* row_sin = row_entries(record.row_sin, step);
  for (int n = 0; n < display_height; ++n) {
    row_cos[n] = record.cos_table[step] * n;
    row_sin[n] = record.sin_table[step] * n;
  }
  double* col_sin = column_entries(record.col_sin, step);
  double* col_cos = column_entries(record.col_cos, step);
  for (int n = 0; n < display_width; ++n) {
    col_sin[n] = record.sin_table[step] * n;
    col_cos[n] = record.cos_table[step] * n;
  }
}

// Only the low 8 bits of the 16-bit truncation select a texel row or column.
uint32_t texel_coordinate(double value) {
  return static_cast<uint32_t>(static_cast<int16_t>(value)) & 0xff;
}

}  // namespace

double rotozoom_angle(int step) {
  return static_cast<double>(step * 360.0L / rotozoom_steps * static_cast<long double>(intro_pi) / 180.0L);
}

RotoZoom* rotozoom_init(SDL_Surface* texture) {
  auto* record = new (std::nothrow) RotoZoom{};
  if (record == nullptr) return nullptr;
  record->texture = texture;
  record->texels = pixels_of(texture);
  record->row_cos = new (std::nothrow) double[row_table_size];
  record->row_sin = new (std::nothrow) double[row_table_size];
  record->col_sin = new (std::nothrow) double[column_table_size];
  record->col_cos = new (std::nothrow) double[column_table_size];
  if (!record->row_cos || !record->row_sin || !record->col_sin || !record->col_cos) {
    free_tables(record);
    delete record;
    return nullptr;
  }
  for (int step = 0; step < rotozoom_steps; ++step) fill_step(*record, step);
  rotozoom = record;
  store_start_angle(0);
  return record;
}

namespace {

// What one frame reads: the tables of the current step and the zoom.
struct StepTables {
  double zoom;
  const double* row_cos;
  const double* row_sin;
  const double* col_sin;
  const double* col_cos;
};

StepTables current_step(const RotoZoom& record) {
  const int step = anim_state.load(relaxed)->angle.load(relaxed);
  return {record.zoom_table[step], row_entries(record.row_cos, step), row_entries(record.row_sin, step),
          column_entries(record.col_sin, step), column_entries(record.col_cos, step)};
}

void draw_scalar(const StepTables& t, const uint32_t* texels, int width, uint32_t* out) {
  // R and Q grow by repeated addition of the zoom, never as i × z or k × z.
  double row_zoom = 0.0;
  for (int i = 0; i < display_height; ++i) {
    const int32_t x = static_cast<int32_t>(width + t.row_cos[i]);
    const int32_t y = static_cast<int32_t>((width + t.row_sin[i]) + row_zoom);
    double column_zoom = 0.0;
    for (int k = 0; k < display_width; ++k) {
      const uint32_t v = texel_coordinate(y - t.col_cos[k]);
      const uint32_t u = texel_coordinate((t.col_sin[k] + x) + column_zoom);
      *out++ = texels[(v << 8) + u];
      column_zoom += t.zoom;
    }
    row_zoom += t.zoom;
  }
}

#if INTRO_AVX2_PATHS
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
INTRO_TARGET_AVX2 void draw_avx2(const StepTables& t, const uint32_t* texels, int width, uint32_t* out) {
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
        for (int k = left; k < left + tile_columns; k += 8)
          draw_eight(t, column_zoom, x, y, texel_words, k, out + size_t(i) * display_width);
      }
}
#endif

}  // namespace

void rotozoom_draw() {
  if (rotozoom == nullptr) return;
#if INTRO_AVX2_PATHS
  if (cpu_runs_avx2()) {
    draw_avx2(current_step(*rotozoom), rotozoom->texels, display->w, pixels_of(display));
    return;
  }
#endif
  draw_scalar(current_step(*rotozoom), rotozoom->texels, display->w, pixels_of(display));
}

void rotozoom_draw_scalar() {
  if (rotozoom == nullptr) return;
  draw_scalar(current_step(*rotozoom), rotozoom->texels, display->w, pixels_of(display));
}

void rotozoom_free() {
  if (rotozoom == nullptr) return;
  free_tables(rotozoom);
  delete rotozoom;
  rotozoom = nullptr;
}
