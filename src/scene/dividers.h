// The two shaded divider lines of the main scene (one just below the logo,
// one at row 400) and the scene's fade-in of the band between them.
#pragma once

#include <cstdint>

#include "gfx/frame.h"

constexpr int lower_divider_row = 400;
constexpr int divider_length = 640;

// The upper line's display row: the logo's height plus 10.
int upper_divider_row(int logo_height);

// The intro's shading at `column`: 256 × sin(column / 640 × 180 × 3.14 / 180)
// truncated, in all three colour bytes with byte 3 zero. Grey 0 at column 0,
// 255 in the middle, 1 at column 639.
uint32_t divider_grey(int column);

// Redraws both lines from `saved_row`, the upper line as the intro drew it
// (divider_length pixels): the upper one as saved at `upper_row`, the lower
// one mirrored (its column 0 shows the saved row's last pixel).
void draw_divider_lines(const FrameView& frame, const uint32_t* saved_row, int upper_row);

// Limits every colour byte of the frame's rows 172..399 to `level`, the
// scene's fade-in level; byte 3 is kept.
void fade_in_band(const FrameView& frame, uint8_t level);
