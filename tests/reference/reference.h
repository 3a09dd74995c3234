// Plain, literal versions of the pixel formulas that have a fast path: one
// scalar loop per formula, written as the formula reads, with no tables,
// shortcuts or vector code. The unit tests compare the intro's drawing with
// these bit for bit (support/same_pixels.h), and the benchmark times them
// beside it.
//
// Frames are 640 × 480 pixels, rows 640 words apart; pixels are words with
// byte 0 blue, 1 green, 2 red and 3 alpha.
#pragma once

#include <SDL/SDL.h>

#include <cstdint>

namespace reference {

constexpr int frame_width = 640;
constexpr int frame_height = 480;

// The background at angle step `step` over the whole frame, from 256 × 256
// texels: the angle with 3.14 for pi, each product rounded once to a double,
// both accumulators grown by repeated addition, and the coordinate sums
// carried in extended precision.
void background(int step, const uint32_t* texels, uint32_t* frame);

// Every source pixel that lands inside the destination (rows `width` apart),
// mixed in: each colour byte moves toward the source by a/255, truncated; the
// alpha bytes add with 8-bit wrap.
void blit(const SDL_Surface* src, uint32_t* dst, int width, int height, int x, int y);

// Byte 0 halved, bytes 1 and 2 quartered, byte 3 kept.
uint32_t darken(uint32_t pixel);
void darken_rect(uint32_t* frame, int x0, int y0, int x1, int y1);

// The scene fade-in: every colour byte of rows 172..399 limited to `level`.
void fade_band(uint32_t* frame, uint8_t level);

// The sideways sway for a tick: sin(entry tick & 255) × 40, truncated.
int logo_sway(int tick);
// The whole logo draw: rows 0..170 darkened, then every logo pixel with
// nonzero alpha written at (left + c, top + r) with its channels shifted by
// the cosine waves of 20, 40 and 60 of its column and row, capped by its
// alpha, then by 0; byte 3 of the frame kept.
void logo_with_band(uint32_t* frame, const uint32_t* logo_pixels, int w, int h, int left, int top, double phase);

}  // namespace reference
