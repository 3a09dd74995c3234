// The intro's data files, opened relative to the working directory, and the
// cell sizes of its two font sheets: what the scene and the credits page
// share about their assets.
#pragma once

#include <cstdint>

constexpr const char* big_font_path = "data/data01.dt";    // the scroller's glyphs
constexpr const char* small_font_path = "data/data02.dt";  // the text panel's and the credits' glyphs
constexpr const char* logo_path = "data/data03.dt";
constexpr const char* texture_path = "data/data04.dt";     // the background, 256 × 256
constexpr const char* module_path = "data/data05.dt";      // the music

constexpr int16_t big_font_cell = 32;
constexpr int16_t small_font_cell = 16;
