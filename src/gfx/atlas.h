// A font sheet cut into one surface per square cell, in row-major cell order,
// each trimmed horizontally to its inked columns so text can be set
// proportionally. The atlas knows nothing of characters: a glyph's index is
// the position of its cell on the sheet.
#pragma once

#include <SDL/SDL.h>

#include <cstdint>
#include <vector>

struct GlyphAtlas {
  std::vector<SDL_Surface*> glyphs;  // in cell order, one per whole cell; each owned
  int16_t count;                     // number of entries in `glyphs`
};

// Cuts `sheet` (only read; it may be freed afterwards) into cells of `cell`
// pixels. Null when the sheet holds no whole cell, and when a glyph surface
// cannot be made (nothing is left allocated then).
GlyphAtlas* glyph_atlas_build(const SDL_Surface* sheet, int16_t cell);

// Releases every glyph surface, then the atlas. Null is ignored.
void glyph_atlas_free(GlyphAtlas* atlas);

// The glyph at `index`, or null when there is no atlas or no such glyph.
// Text users treat a missing glyph as an empty one: nothing is drawn and
// its width counts as 0, so the pen moves by the user's fixed spacing alone.
inline SDL_Surface* atlas_glyph(const GlyphAtlas* atlas, int index) {
  if (atlas == nullptr || index < 0 || index >= atlas->count) return nullptr;
  return atlas->glyphs[size_t(index)];
}

inline int glyph_width(const SDL_Surface* glyph) { return glyph != nullptr ? glyph->w : 0; }
