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

// A sheet of `across` × `down` cells of `cell` pixels, with glyphs in the
// first `glyphs` cells and the rest empty.
inline SDL_Surface* make_indexed_sheet(int cell, int across, int down, int glyphs) {
  SDL_Surface* sheet = make_surface(cell * across, cell * down, 0);
  for (int index = 0; index < glyphs && index < across * down; ++index) {
    const int left = (index % across) * cell, top = (index / across) * cell;
    for (int y = top; y < top + cell; ++y)
      for (int x = left; x <= left + glyph_ink_width(index); ++x) pixel_at(sheet, x, y) = glyph_colour(index);
  }
  return sheet;
}
