// Synthetic font sheets for the text tests. Glyph i of an "indexed" sheet is
// an opaque block whose byte 0 is i + 1, so a drawn pixel tells which glyph
// put it there. It is inked in cell columns 0 to glyph_ink_width(i); the
// atlas drops the last inked column, so the glyph is glyph_ink_width(i) wide.
#pragma once

#include <SDL/SDL.h>

#include <cstdint>

#include "support/media_double.h"

inline int glyph_ink_width(int index) { return 3 + index % 4; }

inline uint32_t glyph_colour(int index) { return 0xffc0a000u | uint32_t(index + 1); }

// A sheet of `rows` rows of 16 cells of `cell` pixels, as the fonts are laid
// out, with the 92 glyphs in the first cells (as many as there are).
inline SDL_Surface* make_indexed_sheet(int cell, int rows) {
  SDL_Surface* sheet = make_surface(cell * 16, cell * rows, 0);
  for (int index = 0; index < 92 && index < 16 * rows; ++index) {
    const int left = (index % 16) * cell, top = (index / 16) * cell;
    for (int y = top; y < top + cell; ++y)
      for (int x = left; x <= left + glyph_ink_width(index); ++x) pixel_at(sheet, x, y) = glyph_colour(index);
  }
  return sheet;
}
