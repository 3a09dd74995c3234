// Synthetic font sheets for the text tests. Glyph i of an "indexed" sheet is
// an opaque block whose byte 0 is i + 1, so a drawn pixel tells which glyph
// put it there; its inked columns are 0 to glyph_ink_width(i) - 1 of the
// cell, plus a column at glyph_ink_width(i) that the atlas trims away, so
// the glyph is glyph_ink_width(i) pixels wide.
#pragma once

#include <SDL/SDL.h>

#include <cstdint>

#include "support/media_double.h"

inline int glyph_ink_width(int index) { return 3 + index % 4; }

inline uint32_t glyph_colour(int index) { return 0xffc0a000u | uint32_t(index + 1); }

// A sheet of `across` × `down` cells of `cell` pixels, with glyphs in the
// first `glyphs` cells and the rest empty. A `fixed_width` gives every glyph
// that width instead.
inline SDL_Surface* make_indexed_sheet(int cell, int across, int down, int glyphs, int fixed_width = 0) {
  SDL_Surface* sheet = make_surface(cell * across, cell * down, 0);
  for (int index = 0; index < glyphs && index < across * down; ++index) {
    const int left = (index % across) * cell, top = (index / across) * cell;
    for (int y = top; y < top + cell; ++y)
      for (int x = left; x <= left + (fixed_width ? fixed_width : glyph_ink_width(index)); ++x)
        pixel_at(sheet, x, y) = glyph_colour(index);
  }
  return sheet;
}
