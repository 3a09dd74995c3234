#include "gfx/atlas.h"

#include <gtest/gtest.h>

#include "platform/entry_points.h"
#include "support/font_sheet.h"
#include "support/media_double.h"

// A glyph runs from the first inked column to the last one, excluded: ink in
// columns 3, 7 and 12 gives 9 pixels, in 0 and 15 gives 15, in one column
// none. Byte 3 alone decides: alpha 1 is ink, white at alpha 0 is not. An
// empty cell gives a transparent glyph a quarter of the cell wide.
TEST(GlyphAtlas, WidthRunsFromTheFirstInkedColumnToTheLastExcluded) {
  open_test_display();
  struct Cell { std::initializer_list<int> columns; uint32_t ink; int width; };
  for (const Cell& c : {Cell{{3, 7, 12}, 0xff102030, 9}, {{0, 15}, 0xff102030, 15}, {{6}, 0xff102030, 0},
                        {{2, 10}, 0x01000000, 8}, {{}, 0, 4}}) {
    SDL_Surface* sheet = make_surface(16, 16, 0x00ffffff);
    for (int column : c.columns) pixel_at(sheet, column, 5) = c.ink;
    GlyphAtlas* atlas = glyph_atlas_build(sheet, 16);
    EXPECT_EQ(atlas->glyphs[0]->w, c.width) << c.columns.size() << " inked columns, ink " << std::hex << c.ink;
    if (c.width > 0) { EXPECT_EQ(pixel_at(atlas->glyphs[0], 0, 5), c.ink); }
    glyph_atlas_free(atlas);
  }
}

// A 512 × 64 sheet of 32-pixel cells gives 32 glyphs in row order (glyph 16
// is cut from the cell at 0, 32) that outlive the sheet, and freeing
// releases exactly those 32. A sheet of more cells than the 16-bit count
// holds gives 32767 glyphs, and a glyph surface that cannot be made leaves
// none and frees what was made. (Partial cells, and sheets without a whole
// cell, of every size: the atlas's fuzz target.)
TEST(GlyphAtlas, CutsWholeCellsRowByRowUpToTheCountsLimitAndAFailureLeavesNothing) {
  open_test_display();
  static int freed_surfaces, surfaces_allowed;  // static: the bound entry points below cannot capture
  freed_surfaces = 0;
  lib::SDL_FreeSurface = [](SDL_Surface* surface) { ++freed_surfaces, ::SDL_FreeSurface(surface); };
  SDL_Surface* sheet = make_indexed_sheet(32, 2);
  pixel_at(sheet, 1, 40) = 0x80aabbcc;
  GlyphAtlas* atlas = glyph_atlas_build(sheet, 32);
  lib::SDL_FreeSurface(sheet);
  ASSERT_EQ(atlas->count, 32);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(pixel_at(atlas->glyphs[size_t(i)], 0, 31), glyph_colour(i));
  EXPECT_EQ(pixel_at(atlas->glyphs[16], 1, 8), 0x80aabbccu);
  glyph_atlas_free(atlas);
  glyph_atlas_free(nullptr);
  EXPECT_EQ(freed_surfaces, 1 + 32);  // the sheet and the glyphs

  atlas = glyph_atlas_build(make_surface(256, 128), 1);
  EXPECT_EQ(atlas->count, 32767);
  glyph_atlas_free(atlas);
  EXPECT_EQ(glyph_atlas_build(nullptr, 16), nullptr);

  sheet = make_surface(32, 16);
  surfaces_allowed = 1;
  freed_surfaces = 0;
  lib::SDL_CreateRGBSurface = [](Uint32 flags, int w, int h, int depth, Uint32 r, Uint32 g, Uint32 b, Uint32 a) {
    return surfaces_allowed-- > 0 ? ::SDL_CreateRGBSurface(flags, w, h, depth, r, g, b, a) : nullptr;
  };
  EXPECT_EQ(glyph_atlas_build(sheet, 16), nullptr);  // the second glyph fails
  EXPECT_EQ(freed_surfaces, 1);  // (every test that makes surfaces binds the entry points afresh)
}
