#include "scene/rotozoom.h"

#include <cmath>
#include <new>

#include "gfx/display.h"
#include "scene/anim_state.h"

RotoZoom* rotozoom;

namespace {

constexpr size_t table_size = size_t(rotozoom_steps) * rotozoom_table_row;

double* table_row(double* table, int step) { return table + (size_t(step) << 12); }

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
  double* row_cos = table_row(record.row_cos, step);
  double* row_sin = table_row(record.row_sin, step);
  for (int n = 0; n < display_height; ++n) {
    row_cos[n] = record.cos_table[step] * n;
    row_sin[n] = record.sin_table[step] * n;
  }
  double* col_sin = table_row(record.col_sin, step);
  double* col_cos = table_row(record.col_cos, step);
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
  return static_cast<double>(step * 360.0L / 640.0L * static_cast<long double>(3.14) / 180.0L);
}

RotoZoom* rotozoom_init(SDL_Surface* texture) {
  auto* record = new (std::nothrow) RotoZoom{};
  if (record == nullptr) return nullptr;
  record->texture = texture;
  record->texels = pixels_of(texture);
  record->row_cos = new (std::nothrow) double[table_size];
  record->row_sin = new (std::nothrow) double[table_size];
  record->col_sin = new (std::nothrow) double[table_size];
  record->col_cos = new (std::nothrow) double[table_size];
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

void rotozoom_draw() {
  if (rotozoom == nullptr) return;
  const RotoZoom& record = *rotozoom;
  const int step = anim_state.load(std::memory_order_relaxed)->angle.load(std::memory_order_relaxed);
  const double zoom = record.zoom_table[step];
  const double* row_cos = table_row(record.row_cos, step);
  const double* row_sin = table_row(record.row_sin, step);
  const double* col_sin = table_row(record.col_sin, step);
  const double* col_cos = table_row(record.col_cos, step);
  const int width = display->w;
  uint32_t* out = pixels_of(display);

  // R and Q grow by repeated addition of the zoom, never as i × z or k × z.
  double row_zoom = 0.0;
  for (int i = 0; i < display_height; ++i) {
    const int32_t x = static_cast<int32_t>(width + row_cos[i]);
    const int32_t y = static_cast<int32_t>((width + row_sin[i]) + row_zoom);
    double column_zoom = 0.0;
    for (int k = 0; k < display_width; ++k) {
      const uint32_t v = texel_coordinate(y - col_cos[k]);
      const uint32_t u = texel_coordinate((col_sin[k] + x) + column_zoom);
      *out++ = record.texels[(v << 8) + u];
      column_zoom += zoom;
    }
    row_zoom += zoom;
  }
}

void rotozoom_free() {
  if (rotozoom == nullptr) return;
  free_tables(rotozoom);
  delete rotozoom;
  rotozoom = nullptr;
}
