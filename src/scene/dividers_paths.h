// The scene fade-in's pixel loop: the plain one (dividers.cpp) and the AVX2
// one (dividers_avx2.cpp, null where none is compiled), which hands the pixels
// after its last group of eight to the plain one.
#pragma once

#include <cstdint>

// Limits every colour byte of the pixels from `pixel` up to `end` to `level`;
// byte 3 is kept.
using LimitPixels = void (*)(uint32_t* pixel, uint32_t* end, uint8_t level);

void limit_pixels_plain(uint32_t* pixel, uint32_t* end, uint8_t level);

extern const LimitPixels limit_pixels_avx2;
