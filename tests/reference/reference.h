// Plain, literal versions of every pixel formula the intro draws with: one
// scalar loop per formula, written as the formula reads, with no tables,
// shortcuts or vector code. The unit tests compare the intro's drawing with
// these bit for bit, and the benchmark times them beside it.
//
// Frames are 640 × 480 pixels, rows 640 words apart; pixels are words with
// byte 0 blue, 1 green, 2 red and 3 alpha.
#pragma once

#include <SDL/SDL.h>

#include <cstdint>

struct LogoFx;
struct SineScroller;

namespace reference {

constexpr int frame_width = 640;
constexpr int frame_height = 480;

// ---- Rotating zoom background ----

// The background at angle step `step` over the whole frame, from 256 × 256
// texels: the angle with 3.14 for pi, each product rounded once to a double,
// both accumulators grown by repeated addition, and the coordinate sums
// carried in extended precision.
void background(int step, const uint32_t* texels, uint32_t* frame);

// ---- Blits and darkening ----

// One pixel of the alpha mix: each colour byte moves toward the source by
// a/255, truncated; the alpha bytes add with 8-bit wrap.
uint32_t mix(uint32_t source, uint32_t destination);

// Every source pixel that lands inside the destination, mixed in.
void blit(const SDL_Surface* src, SDL_Surface* dst, int x, int y);

// Byte 0 halved, bytes 1 and 2 quartered, byte 3 kept.
uint32_t darken(uint32_t pixel);
void darken_rect(uint32_t* frame, int x0, int y0, int x1, int y1);

// ---- Fades ----

// A fade-in pixel at `level`: each colour byte (s / 255) × level × (a / 255),
// truncated; byte 3 is `kept_alpha`, the target's own.
uint32_t fade_in_pixel(uint32_t pixel, int level, uint32_t kept_alpha);

// A fade-to-black pixel with factor a: bytes scaled by a, a² and a³,
// truncated; byte 3 cleared.
uint32_t fade_to_black_pixel(uint32_t snapshot_pixel, double a);

// The scene fade-in: every colour byte of rows 172..399 limited to `level`.
uint32_t limit_to_level(uint32_t pixel, uint8_t level);
void fade_band(uint32_t* frame, uint8_t level);

// ---- Logo ----

// A wobble table entry: cos(i / 255 × 360 × 3.14 / 180) × amplitude, truncated.
int logo_wave(int entry, double amplitude);
// The sideways sway for a tick: sin40 of entry tick & 255, truncated.
int logo_sway(int tick);
// The whole logo draw: rows 0..170 darkened, then every logo pixel with
// nonzero alpha written at (left + c, top + r) with its shifted, capped
// channels; byte 3 of the frame kept.
void logo_with_band(uint32_t* frame, const uint32_t* logo_pixels, int w, int h, int left, int top, double phase);
// The same for the intro's logo record and an animation state's tick, phase
// and bounce row.
void logo_with_band(uint32_t* frame, const LogoFx& logo, int tick, double phase, double logo_y);

// ---- Scroller ----

// The row of a letter at column x: sin((scroll_x + x / 10) / 10) × 15 + 420.
int scroller_letter_row(double scroll_x, int32_t x);
// Rows 410, 414, .., 466 flipped into rows 475 down to 461 in that order,
// darkened, each destination keeping its byte 3.
void scroller_reflection(uint32_t* frame);
// The whole scroller frame of a laid-out scroller: band, letters, reflection,
// second band. Returns scroll_x as the frame leaves it (reset to 640 on a wrap).
double scroller(SDL_Surface* display_surface, const SineScroller& s, double scroll_x);

// ---- Divider lines ----

// Row `upper_row` takes the saved row as it is, row 400 its mirror image.
void divider_lines(uint32_t* frame, const uint32_t* saved_row, int upper_row);

}  // namespace reference
