#include "scene/rotozoom.h"

#include <cmath>
#include <initializer_list>
#include <new>

#include "gfx/fast_paths.h"
#include "gfx/frame.h"
#include "scene/angles.h"
#include "scene/rotozoom_paths.h"

namespace {

constexpr size_t row_table_size = size_t(rotozoom_steps) * display_height;
constexpr size_t column_table_size = size_t(rotozoom_steps) * display_width;

// The entries of one step: a row table's 480 or a column table's 640.
double* row_entries(double* table, int step) { return table + size_t(step) * display_height; }
double* column_entries(double* table, int step) { return table + size_t(step) * display_width; }


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

bool rotozoom_init(RotoZoom& record, const SDL_Surface* texture) {
  record.texels = pixels_of(texture);
  record.row_cos = new (std::nothrow) double[row_table_size];
  record.row_sin = new (std::nothrow) double[row_table_size];
  record.col_sin = new (std::nothrow) double[column_table_size];
  record.col_cos = new (std::nothrow) double[column_table_size];
  if (!record.row_cos || !record.row_sin || !record.col_sin || !record.col_cos) {
    rotozoom_free(record);
    return false;
  }
  for (int step = 0; step < rotozoom_steps; ++step) fill_step(record, step);
  return true;
}

namespace {

StepTables tables_of(const RotoZoom& record, int step) {
  return {record.zoom_table[step], row_entries(record.row_cos, step), row_entries(record.row_sin, step),
          column_entries(record.col_sin, step), column_entries(record.col_cos, step)};
}

void draw_plain(const StepTables& t, const uint32_t* texels, const FrameView& frame) {
  const int width = frame.width;
  // R and Q grow by repeated addition of the zoom, never as i × z or k × z.
  double row_zoom = 0.0;
  for (int i = 0; i < display_height; ++i) {
    uint32_t* out = frame.row(i);
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

// Chosen once, at start-up (gfx/fast_paths.h).
const DrawBackground draw_frame = chosen_path(draw_plain, draw_background_avx2);

}  // namespace

void rotozoom_draw(const RotoZoom& record, const FrameView& frame, int step) {
  if (record.row_cos == nullptr) return;  // no tables: nothing to draw
  draw_frame(tables_of(record, step), record.texels, frame);
}

void rotozoom_free(RotoZoom& record) {
  for (double** table : {&record.row_cos, &record.row_sin, &record.col_sin, &record.col_cos}) {
    delete[] *table;
    *table = nullptr;
  }
}
