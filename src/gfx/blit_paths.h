// The row loops of the blit and of the darkening: the plain ones (blit.cpp)
// and the AVX2 ones (blit_avx2.cpp), which hand the pixels after their last
// group of eight to the plain ones. An AVX2 loop is null where none is
// compiled.
#pragma once

#include <cstdint>

using MixRow = void (*)(const uint32_t* source, uint32_t* destination, int count);
using DarkenRow = void (*)(uint32_t* line, int count);

void mix_row_plain(const uint32_t* source, uint32_t* destination, int count);
void darken_row_plain(uint32_t* line, int count);

extern const MixRow mix_row_avx2;
extern const DarkenRow darken_row_avx2;
