#include "gfx/atlas.h"

#include <gtest/gtest.h>

#include "platform/entry_points.h"
#include "support/font_sheet.h"
#include "support/media_double.h"

namespace {

int freed_surfaces, surfaces_allowed;
void counting_free(SDL_Surface* surface) {
  ++freed_surfaces;
  ::SDL_FreeSurface(surface);
}
SDL_Surface* rationed_create(Uint32 flags, int w, int h, int depth, Uint32 r, Uint32 g, Uint32 b, Uint32 a) {
  return surfaces_allowed-- > 0 ? ::SDL_CreateRGBSurface(flags, w, h, depth, r, g, b, a) : nullptr;
}

// The width of the one glyph cut from a 16-pixel cell inked at `columns`.
int width_of_cell_inked_at(std::initializer_list<int> columns, uint32_t ink = 0xff102030) {
  SDL_Surface* sheet = make_surface(16, 16, 0x00ffffff);  // white, but transparent
  for (int column : columns) pixel_at(sheet, column, 5) = ink;
  GlyphAtlas* atlas = glyph_atlas_build(sheet, 16);
  const int width = atlas->glyphs[0]->w;
  glyph_atlas_free(atlas);
  lib::SDL_FreeSurface(sheet);
  return width;
}

class GlyphAtlasTest : public ::testing::Test {
 protected:
  void SetUp() override { open_test_display(); }
  void TearDown() override {
    lib::SDL_CreateRGBSurface = &::SDL_CreateRGBSurface;
    lib::SDL_FreeSurface = &::SDL_FreeSurface;
  }
};

}  // namespace

TEST_F(GlyphAtlasTest, WidthRunsFromTheFirstInkedColumnToTheLastExcluded) {
  EXPECT_EQ(width_of_cell_inked_at({3, 7, 12}), 9);
  EXPECT_EQ(width_of_cell_inked_at({0, 15}), 15);
  EXPECT_EQ(width_of_cell_inked_at({6}), 0);
  EXPECT_EQ(width_of_cell_inked_at({2, 10}, 0x01000000), 8);  // alpha 1 is ink
  EXPECT_EQ(width_of_cell_inked_at({}), 4);
}

TEST_F(GlyphAtlasTest, CellsBecomeGlyphsRowByRowWithTheirPixelsCopied) {
  SDL_Surface* sheet = make_indexed_sheet(32, 16, 2, 31);  // 512 × 64, last cell empty
  pixel_at(sheet, 1, 40) = 0x80aabbcc;
  GlyphAtlas* atlas = glyph_atlas_build(sheet, 32);
  ASSERT_EQ(atlas->count, 32);
  for (int i = 0; i < 31; ++i) {
    EXPECT_EQ(atlas->glyphs[size_t(i)]->w, glyph_ink_width(i));
    EXPECT_EQ(pixel_at(atlas->glyphs[size_t(i)], 0, 31), glyph_colour(i));
  }
  EXPECT_EQ(pixel_at(atlas->glyphs[16], 1, 8), 0x80aabbccu);  // cell (0, 32), all four bytes
  SDL_Surface* empty = atlas->glyphs[31];
  EXPECT_EQ(empty->w, 8);
  EXPECT_EQ(empty->h, 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(pixel_at(empty, x, y), 0u);

  freed_surfaces = 0;
  lib::SDL_FreeSurface = &counting_free;
  glyph_atlas_free(atlas);
  glyph_atlas_free(nullptr);
  EXPECT_EQ(freed_surfaces, 32);
  lib::SDL_FreeSurface(sheet);
}

TEST_F(GlyphAtlasTest, OnlyWholeCellsAreCut) {
  SDL_Surface* ragged = make_surface(42, 21, 0xff0000ff);  // 2 cells plus inked strips
  GlyphAtlas* atlas = glyph_atlas_build(ragged, 16);
  ASSERT_EQ(atlas->count, 2);
  EXPECT_EQ(atlas->glyphs[1]->w, 15);
  glyph_atlas_free(atlas);

  SDL_Surface* narrow = make_surface(15, 40, 0xff0000ff);
  SDL_Surface* empty = make_surface(0, 0);
  EXPECT_EQ(glyph_atlas_build(narrow, 16), nullptr);
  EXPECT_EQ(glyph_atlas_build(empty, 16), nullptr);
  EXPECT_EQ(glyph_atlas_build(nullptr, 16), nullptr);
  for (SDL_Surface* s : {ragged, narrow, empty}) lib::SDL_FreeSurface(s);
}

TEST_F(GlyphAtlasTest, AFailedGlyphSurfaceLeavesNoAtlasAndNothingAllocated) {
  SDL_Surface* sheet = make_indexed_sheet(16, 4, 1, 4);
  surfaces_allowed = 2;
  freed_surfaces = 0;
  lib::SDL_CreateRGBSurface = &rationed_create;
  lib::SDL_FreeSurface = &counting_free;
  EXPECT_EQ(glyph_atlas_build(sheet, 16), nullptr);
  EXPECT_EQ(freed_surfaces, 2);
  lib::SDL_FreeSurface(sheet);
}
