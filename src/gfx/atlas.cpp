#include "gfx/atlas.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "gfx/frame.h"
#include "platform/entry_points.h"

namespace {

bool is_visible(uint32_t pixel) { return (pixel >> 24) != 0; }  // byte 3 alone decides

// Cuts the cell whose top-left sheet pixel is (left, top). The glyph spans
// the leftmost inked column up to, but not including, the rightmost one: the
// fonts are drawn with one column of spacing that this drops. An empty cell
// gives a transparent glyph a quarter of the cell wide. Null on failure.
SDL_Surface* cut_glyph(const SDL_Surface* sheet, int left, int top, int cell) {
  const uint32_t* sheet_pixels = pixels_of(sheet);
  const size_t stride = size_t(sheet->w);
  int min_x = std::numeric_limits<int>::max(), max_x = -1;
  for (int row = top; row < top + cell; ++row) {
    const uint32_t* line = sheet_pixels + size_t(row) * stride;
    for (int column = left; column < left + cell; ++column) {
      if (!is_visible(line[column])) continue;
      min_x = std::min(min_x, column);
      max_x = std::max(max_x, column);
    }
  }
  const bool inked = max_x >= 0;
  const int width = inked ? max_x - min_x : cell / 4;

  SDL_Surface* glyph = lib::SDL_CreateRGBSurface(0, width, cell, 32, 0, 0, 0, 0);
  if (glyph == nullptr) return nullptr;
  if (width > 0 && glyph->pixels == nullptr) {
    lib::SDL_FreeSurface(glyph);
    return nullptr;
  }
  // A new surface is all zero bytes, so an empty cell needs no copy.
  if (inked && width > 0) {
    uint32_t* glyph_pixels = pixels_of(glyph);
    for (int r = 0; r < cell; ++r)
      std::memcpy(glyph_pixels + size_t(r) * size_t(width), sheet_pixels + size_t(top + r) * stride + size_t(min_x),
                  size_t(width) * sizeof(uint32_t));
  }
  return glyph;
}

}  // namespace

GlyphAtlas* glyph_atlas_build(const SDL_Surface* sheet, int16_t cell) {
  if (sheet == nullptr || cell <= 0) return nullptr;
  // Only whole cells are cut: a partial cell at the right or bottom edge
  // would be read beyond the sheet, so it is dropped. Cell indices still
  // follow the whole cells across.
  const int across = sheet->w / cell, down = sheet->h / cell;
  // `count` is 16-bit: cells past the 32767th are not cut.
  const long cells = std::min<long>(long(std::max(across, 0)) * std::max(down, 0),
                                    std::numeric_limits<int16_t>::max());
  if (cells == 0) return nullptr;

  auto* atlas = new GlyphAtlas{{}, 0};
  atlas->glyphs.reserve(size_t(cells));
  for (int cy = 0; cy < down; ++cy) {
    for (int cx = 0; cx < across && long(atlas->glyphs.size()) < cells; ++cx) {
      SDL_Surface* glyph = cut_glyph(sheet, cx * cell, cy * cell, cell);
      if (glyph == nullptr) {
        atlas->count = int16_t(atlas->glyphs.size());
        glyph_atlas_free(atlas);
        return nullptr;
      }
      atlas->glyphs.push_back(glyph);
    }
  }
  atlas->count = int16_t(atlas->glyphs.size());
  return atlas;
}

void glyph_atlas_free(GlyphAtlas* atlas) {
  if (atlas == nullptr) return;
  for (int i = 0; i < atlas->count; ++i) lib::SDL_FreeSurface(atlas->glyphs[size_t(i)]);
  delete atlas;
}
