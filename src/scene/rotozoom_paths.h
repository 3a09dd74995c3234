// The background's frame loop: the plain one (rotozoom.cpp) and the AVX2 one
// (rotozoom_avx2.cpp, null where none is compiled), with what both read.
#pragma once

#include <cstdint>

// What one frame reads: the tables of its step and the zoom.
struct StepTables {
  double zoom;
  const double* row_cos;
  const double* row_sin;
  const double* col_sin;
  const double* col_cos;
};

// Draws the 640 × 480 frame at `out` from 256 × 256 texels; `width` is the
// frame's width, which the view's centre is formed from.
using DrawBackground = void (*)(const StepTables& tables, const uint32_t* texels, int width, uint32_t* out);

extern const DrawBackground draw_background_avx2;
