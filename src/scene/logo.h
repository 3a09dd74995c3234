// The group's logo at the top of the main scene: drawn over a darkened band,
// swaying sideways on a sine and shimmering with cosine waves along its rows
// and columns (amplitudes 20, 40 and 60 for bytes 0, 1 and 2), each channel
// capped by the pixel's own alpha. Its row and its motion come from the
// animation state's logo bounce, tick and phase.
#pragma once

#include <SDL/SDL.h>

#include <cstdint>

#include "gfx/frame.h"

// The largest logo the draw keeps inside the display: the sway moves it up
// to 39 columns either way, and the upper divider row (height + 10) must
// stay on the display.
constexpr int logo_max_width = 562;
constexpr int logo_max_height = 469;

struct LogoFx {
  SDL_Surface* surface = nullptr;  // owned; bytes 0 and 2 already in display order
  int16_t x = 0;                   // left column, centred; never changes
  int16_t y = 0;                   // top row: centred, then where the intro's rise leaves it
  double sin40[256];               // sideways sway
  int8_t cos20[256];               // shifts byte 0
  int8_t cos40[256];               // shifts byte 1
  int8_t cos60[256];               // shifts byte 2
};

// The angle of table entry i in radians: i / 255 × 360 × 3.14 / 180.
double logo_angle(int entry);

// Loads the logo, centres it on the display, puts its bytes in display order
// and fills the tables. A logo that cannot be loaded or would not fit is
// reported and refused: the result is then false and nothing is kept.
bool logo_init(LogoFx& logo);

// Darkens rows 0..170 of the frame and draws the set-up logo over them with
// its top at `row`, swayed by the tick and wobbled by the phase. Byte 3 of
// the frame is never written.
void logo_draw(const LogoFx& logo, const FrameView& frame, int row, int32_t tick, double phase);

// Releases the logo's surface.
void logo_free(LogoFx& logo);
