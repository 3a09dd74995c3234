#include "gfx/atlas.h"

#include <gtest/gtest.h>

#include "app/binding.h"
#include "support/font_sheet.h"
#include "support/media_double.h"

namespace {

class GlyphAtlasTest : public ::testing::Test {
 protected:
  void SetUp() override { open_test_display(); }
};

// A one-cell sheet whose inked pixels are the given columns of row 5.
SDL_Surface* cell_with_ink(int cell, std::initializer_list<int> columns, uint32_t ink = 0xff102030) {
  SDL_Surface* sheet = make_surface(cell, cell, 0);
  for (int column : columns) pixel_at(sheet, column, 5) = ink;
  return sheet;
}

int freed_surfaces;
void counting_free(SDL_Surface* surface) {
  ++freed_surfaces;
  ::SDL_FreeSurface(surface);
}

}  // namespace

TEST_F(GlyphAtlasTest, TrimsToTheInkedColumnsLessTheRightmost) {
  SDL_Surface* sheet = cell_with_ink(16, {3, 7, 12});
  pixel_at(sheet, 4, 0) = 0x80aabbcc;
  GlyphAtlas* atlas = glyph_atlas_build(sheet, 16);
  ASSERT_NE(atlas, nullptr);
  ASSERT_EQ(atlas->count, 1);
  SDL_Surface* glyph = atlas->glyphs[0];
  EXPECT_EQ(glyph->w, 9);  // columns 3..11
  EXPECT_EQ(glyph->h, 16);
  EXPECT_EQ(pixel_at(glyph, 0, 5), 0xff102030u);
  EXPECT_EQ(pixel_at(glyph, 1, 0), 0x80aabbccu);  // copied with all four bytes
  EXPECT_EQ(pixel_at(glyph, 4, 5), 0xff102030u);
  EXPECT_EQ(pixel_at(glyph, 8, 5), 0u);
  glyph_atlas_free(atlas);

  SDL_Surface* edges = cell_with_ink(16, {0, 15});
  atlas = glyph_atlas_build(edges, 16);
  EXPECT_EQ(atlas->glyphs[0]->w, 15);
  glyph_atlas_free(atlas);

  SDL_Surface* one_column = cell_with_ink(16, {6});
  atlas = glyph_atlas_build(one_column, 16);
  EXPECT_EQ(atlas->glyphs[0]->w, 0);
  glyph_atlas_free(atlas);

  lib::SDL_FreeSurface(sheet);
  lib::SDL_FreeSurface(edges);
  lib::SDL_FreeSurface(one_column);
}

TEST_F(GlyphAtlasTest, VisibilityIsDecidedByTheAlphaByteAlone) {
  SDL_Surface* faint = cell_with_ink(32, {2, 20}, 0x01000000);
  pixel_at(faint, 25, 9) = 0x00ffffff;  // white but fully transparent
  GlyphAtlas* atlas = glyph_atlas_build(faint, 32);
  EXPECT_EQ(atlas->glyphs[0]->w, 18);
  glyph_atlas_free(atlas);
  lib::SDL_FreeSurface(faint);
}

TEST_F(GlyphAtlasTest, EmptyCellsGiveTransparentQuarterCellGlyphs) {
  for (int cell : {16, 32}) {
    SDL_Surface* sheet = make_surface(cell, cell, 0x00ffffff);
    GlyphAtlas* atlas = glyph_atlas_build(sheet, int16_t(cell));
    SDL_Surface* glyph = atlas->glyphs[0];
    EXPECT_EQ(glyph->w, cell / 4);
    EXPECT_EQ(glyph->h, cell);
    for (int y = 0; y < cell; ++y)
      for (int x = 0; x < cell / 4; ++x) EXPECT_EQ(pixel_at(glyph, x, y), 0u);
    glyph_atlas_free(atlas);
    lib::SDL_FreeSurface(sheet);
  }
}

TEST_F(GlyphAtlasTest, GlyphIndicesFollowCellsRowByRow) {
  SDL_Surface* sheet = make_indexed_sheet(32, 16, 2, 32);  // 512 × 64
  GlyphAtlas* atlas = glyph_atlas_build(sheet, 32);
  ASSERT_EQ(atlas->count, 32);
  for (int i = 0; i < 32; ++i) {
    EXPECT_EQ(atlas->glyphs[size_t(i)]->h, 32);
    EXPECT_EQ(atlas->glyphs[size_t(i)]->w, glyph_ink_width(i));
    EXPECT_EQ(pixel_at(atlas->glyphs[size_t(i)], 0, 0), glyph_colour(i));
  }
  EXPECT_EQ(pixel_at(atlas->glyphs[16], 0, 0), pixel_at(sheet, 0, 32));
  glyph_atlas_free(atlas);
  lib::SDL_FreeSurface(sheet);
}

TEST_F(GlyphAtlasTest, PartialCellsAtTheEdgesAreDropped) {
  // 2 whole cells across plus 10 columns, 1 whole cell down plus 5 rows; the
  // partial strips carry ink that must not widen or add glyphs.
  SDL_Surface* sheet = make_surface(42, 21, 0xff0000ff);
  GlyphAtlas* atlas = glyph_atlas_build(sheet, 16);
  ASSERT_EQ(atlas->count, 2);
  EXPECT_EQ(atlas->glyphs[0]->w, 15);
  EXPECT_EQ(atlas->glyphs[1]->w, 15);
  glyph_atlas_free(atlas);
  lib::SDL_FreeSurface(sheet);

  SDL_Surface* narrow = make_surface(15, 40, 0xff0000ff);  // no whole cell across
  EXPECT_EQ(glyph_atlas_build(narrow, 16), nullptr);
  lib::SDL_FreeSurface(narrow);
}

TEST_F(GlyphAtlasTest, SheetsWithoutCellsGiveNoAtlas) {
  SDL_Surface* empty = make_surface(0, 0);
  EXPECT_EQ(glyph_atlas_build(empty, 16), nullptr);
  EXPECT_EQ(glyph_atlas_build(nullptr, 16), nullptr);
  SDL_Surface* sheet = make_surface(16, 16);
  EXPECT_EQ(glyph_atlas_build(sheet, 0), nullptr);
  lib::SDL_FreeSurface(empty);
  lib::SDL_FreeSurface(sheet);
}

TEST_F(GlyphAtlasTest, FreeReleasesExactlyEveryGlyphAndIgnoresNull) {
  SDL_Surface* sheet = make_indexed_sheet(16, 4, 3, 5);
  GlyphAtlas* atlas = glyph_atlas_build(sheet, 16);
  ASSERT_EQ(atlas->count, 12);
  freed_surfaces = 0;
  lib::SDL_FreeSurface = &counting_free;
  glyph_atlas_free(atlas);
  EXPECT_EQ(freed_surfaces, 12);
  glyph_atlas_free(nullptr);
  EXPECT_EQ(freed_surfaces, 12);
  lib::SDL_FreeSurface = &::SDL_FreeSurface;
  lib::SDL_FreeSurface(sheet);
}

TEST_F(GlyphAtlasTest, LookupPastTheLastGlyphFindsNothing) {
  SDL_Surface* sheet = make_indexed_sheet(16, 4, 1, 4);
  GlyphAtlas* atlas = glyph_atlas_build(sheet, 16);
  EXPECT_NE(atlas_glyph(atlas, 3), nullptr);
  EXPECT_EQ(atlas_glyph(atlas, 4), nullptr);
  EXPECT_EQ(atlas_glyph(nullptr, 0), nullptr);
  EXPECT_EQ(glyph_width(atlas_glyph(atlas, 4)), 0);
  glyph_atlas_free(atlas);
  lib::SDL_FreeSurface(sheet);
}

namespace {
int surfaces_allowed;
SDL_Surface* rationed_create(Uint32 flags, int w, int h, int depth, Uint32 r, Uint32 g, Uint32 b, Uint32 a) {
  if (surfaces_allowed-- <= 0) return nullptr;
  return ::SDL_CreateRGBSurface(flags, w, h, depth, r, g, b, a);
}
}  // namespace

TEST_F(GlyphAtlasTest, AFailedGlyphSurfaceReleasesWhatWasBuilt) {
  SDL_Surface* sheet = make_indexed_sheet(16, 4, 1, 4);
  surfaces_allowed = 2;
  freed_surfaces = 0;
  lib::SDL_CreateRGBSurface = &rationed_create;
  lib::SDL_FreeSurface = &counting_free;
  EXPECT_EQ(glyph_atlas_build(sheet, 16), nullptr);
  EXPECT_EQ(freed_surfaces, 2);
  lib::SDL_CreateRGBSurface = &::SDL_CreateRGBSurface;
  lib::SDL_FreeSurface = &::SDL_FreeSurface;
  lib::SDL_FreeSurface(sheet);
}
