// The rotating zoom background: a 256 × 256 texture, tiled without end, seen
// through a view that turns and stretches with the angle step it is drawn at
// (0..639, the animation state's angle). It writes every pixel of the frame,
// so it is also the frame's clear.
#pragma once

#include <SDL/SDL.h>

#include <cstdint>

#include "gfx/frame.h"

constexpr int rotozoom_steps = 640;  // angle steps per turn
constexpr int rotozoom_texture_size = 256;

struct RotoZoom {
  const uint32_t* texels = nullptr;  // the texture's, borrowed: the scene driver frees it
  // Per step a, entry n holds the step's cosine or sine times n: row tables
  // are indexed by display row (n < 480), column tables by display column
  // (n < 640). The steps follow each other with no gap (480 or 640 entries
  // apart), so every page of the tables is filled and read: 11.7 MB in all,
  // where rows padded to 4096 entries would reserve 80 MiB and touch more
  // pages than they fill. Null until set up.
  double* row_cos = nullptr;
  double* row_sin = nullptr;
  double* col_sin = nullptr;
  double* col_cos = nullptr;
  double cos_table[rotozoom_steps];
  double sin_table[rotozoom_steps];
  double zoom_table[rotozoom_steps];  // sin / 2 + 1: between 0.5 and 1.5
};

// The angle of step a in radians, with 3.14 for pi, formed left to right in
// extended precision and rounded once to a double.
double rotozoom_angle(int step);

// Builds every table for the texture, which must be 256 × 256 with bytes 0
// and 2 already in display order. False when the tables cannot be allocated:
// the record then holds none, and its draw leaves the frame alone.
bool rotozoom_init(RotoZoom& record, const SDL_Surface* texture);

// Draws the background at angle step `step` (0..639) over the whole frame,
// which must be 640 × 480.
void rotozoom_draw(const RotoZoom& record, const FrameView& frame, int step);

// Frees the tables, not the texture.
void rotozoom_free(RotoZoom& record);
