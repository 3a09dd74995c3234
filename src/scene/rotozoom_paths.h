// The background's frame loop: the plain one (rotozoom.cpp) and the AVX2 one
// (rotozoom_avx2.cpp, null where none is compiled), with what both read.
#pragma once

#include <cstdint>

#include "gfx/frame.h"

// What one frame reads: the tables of its step and the zoom.
struct StepTables {
  double zoom;
  const double* row_cos;
  const double* row_sin;
  const double* col_sin;
  const double* col_cos;
};

// Draws the whole 640 × 480 frame from 256 × 256 texels.
using DrawBackground = void (*)(const StepTables& tables, const uint32_t* texels, const FrameView& frame);

extern const DrawBackground draw_background_avx2;
