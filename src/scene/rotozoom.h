// The rotating zoom background: a 256 × 256 texture, tiled without end, seen
// through a view that turns and stretches with the animation state's angle
// step (0..639). It writes every display pixel, so it is also the frame's
// clear.
#pragma once

#include <SDL/SDL.h>

#include <cstdint>

#include "gfx/frame.h"

constexpr int rotozoom_steps = 640;  // angle steps per turn
constexpr int rotozoom_texture_size = 256;

struct RotoZoom {
  SDL_Surface* texture;  // borrowed: the scene driver frees it
  const uint32_t* texels;
  // Per step a, entry n holds the step's cosine or sine times n: row tables
  // are indexed by display row (n < 480), column tables by display column
  // (n < 640). The steps follow each other with no gap (480 or 640 entries
  // apart), so every page of the tables is filled and read: 11.7 MB in all,
  // where rows padded to 4096 entries would reserve 80 MiB and touch more
  // pages than they fill.
  double* row_cos;
  double* row_sin;
  double* col_sin;
  double* col_cos;
  double cos_table[rotozoom_steps];
  double sin_table[rotozoom_steps];
  double zoom_table[rotozoom_steps];  // sin / 2 + 1: between 0.5 and 1.5
};

extern RotoZoom* rotozoom;

// The angle of step a in radians, with 3.14 for pi, formed left to right in
// extended precision and rounded once to a double.
double rotozoom_angle(int step);

// Builds every table for the texture, which must be 256 × 256 with bytes 0
// and 2 already in display order, and restarts the animation state's angle
// at step 0. Returns the record, or null (and builds nothing) when the
// tables cannot be allocated; the draw then leaves the display alone.
RotoZoom* rotozoom_init(SDL_Surface* texture);

// Draws the background for the current angle step over the whole frame,
// which must be 640 × 480.
void rotozoom_draw(const FrameView& frame);

// Frees the tables and the record, not the texture.
void rotozoom_free();
