// The four generated images, loaded with the intro's own loader, against what
// their users need: sheet sizes and slots, glyph widths as the atlas will cut
// them, the panel's column width, the logo's size, the texture's seam.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <stdexcept>
#include <string>
#include <utility>

#include "gfx/atlas.h"
#include "gfx/char_map.h"
#include "gfx/frame.h"
#include "gfx/image.h"
#include "scene/text_panel.h"
#include "support/media_double.h"

namespace {

SDL_Surface* load(const char* name) {
  open_test_display();
  SDL_Surface* image = load_image((std::string(INTRO_DATA_DIR_PATH) + "/" + name).c_str());
  if (image == nullptr) throw std::runtime_error(std::string("cannot load ") + name);  // fails the test
  return image;
}

int channel(SDL_Surface* image, int x, int y, int byte) { return int(pixel_at(image, x, y) >> 8 * byte & 0xff); }

// Mean of one colour byte over the fully opaque pixels.
double mean_opaque_byte(SDL_Surface* image, int byte) {
  double sum = 0, count = 0;
  for (size_t i = 0; i < size_t(image->w) * size_t(image->h); ++i)
    if (pixels_of(image)[i] >> 24 == 255) sum += pixels_of(image)[i] >> 8 * byte & 0xff, ++count;
  return count ? sum / count : 0;
}

// The glyphs the atlas cuts from a sheet of 16 × 6 cells, where every used
// slot has ink except 88, 89 and 91, the trailing bytes of "€" and "©".
GlyphAtlas* expect_font_sheet(const SDL_Surface* sheet, int cell) {
  EXPECT_EQ(std::pair(sheet->w, sheet->h), std::pair(16 * cell, 6 * cell));
  GlyphAtlas* atlas = glyph_atlas_build(sheet, int16_t(cell));
  EXPECT_GE(atlas->count, 92);
  for (int slot = 0; slot < 92; ++slot)
    EXPECT_EQ(atlas->glyphs[size_t(slot)]->w == 0, slot == 88 || slot == 89 || slot == 91) << "slot " << slot;
  return atlas;
}

}  // namespace

// The big font is gold to crimson: more red (byte 2) than blue.
TEST(Fonts, BigSheetHasEveryUsedSlotAndIsStoredBlueFirst) {
  SDL_Surface* sheet = load("data01.dt");
  glyph_atlas_free(expect_font_sheet(sheet, 32));
  EXPECT_GT(mean_opaque_byte(sheet, 2), mean_opaque_byte(sheet, 0) + 40);
}

// The credits advance a fixed 8 pixels, the panel a glyph's width + 1: for
// both to give one even rhythm, every glyph keeps most of its 8-pixel slot
// through the trim, with its ink (what is more than the faint alpha-1
// columns) centred in the slot within a pixel. Every line of the panel then
// fits its 256-pixel column.
TEST(Fonts, SmallGlyphsFillTheirEightPixelSlotAndEveryPanelLineFitsItsColumn) {
  GlyphAtlas* atlas = expect_font_sheet(load("data02.dt"), 16);
  int widths[256] = {};
  for (int slot = 0; slot < 92; ++slot) {
    SDL_Surface* glyph = atlas->glyphs[size_t(slot)];
    if (glyph->w == 0) continue;
    int left = glyph->w, right = -1;
    for (int i = 0; i < glyph->w * glyph->h; ++i)
      if (pixels_of(glyph)[i] >> 24 > 1) left = std::min(left, i % glyph->w), right = std::max(right, i % glyph->w);
    EXPECT_TRUE(glyph->w >= 6 && glyph->w <= 8) << "slot " << slot << " is " << glyph->w << " wide";
    EXPECT_LE(std::abs((left + right) / 2.0 - 3.5), 1.0) << "slot " << slot << " inked in " << left << ".." << right;
    widths[uint8_t(character_order[slot])] = glyph->w;
  }
  glyph_atlas_free(atlas);
  int width = 0;
  for (const char* p = panel_text; *p; ++p) {
    width = *p == '\n' || *p == '\t' ? 0 : width + (*p == ' ' ? 7 : widths[uint8_t(*p)] + 1);
    EXPECT_LE(width, 256) << "the line ending at " << p - panel_text;
  }
}

// 161 rows put the upper divider on row 171; a logo, not a stamp, that
// leaves room to sway; mid-range colours leave room for the ±120 wobble.
TEST(Logo, HeightPutsTheDividerOnRow171AndWidthLeavesRoomToSway) {
  SDL_Surface* logo = load("data03.dt");
  EXPECT_EQ(logo->h, 161);
  EXPECT_TRUE(logo->w >= 300 && logo->w <= 562) << logo->w;
  for (int byte = 0; byte < 3; ++byte)
    EXPECT_TRUE(mean_opaque_byte(logo, byte) > 60 && mean_opaque_byte(logo, byte) < 190) << "byte " << byte;
}

// Opaque; neighbouring texels differ by a few levels (no shimmer), across
// the seams no more than inside; blue-violet, stored red first.
TEST(Texture, OpaqueSmoothAndSeamlessInBothDirections) {
  SDL_Surface* texture = load("data04.dt");
  ASSERT_EQ(std::pair(texture->w, texture->h), std::pair(256, 256));
  // The mean colour difference between column (step[0]) or row (step[1]) c
  // and the next; c = 255 is across the seam.
  double step[2][256] = {};
  for (int c = 0; c < 256; ++c)
    for (int a = 0; a < 256; ++a)
      for (int byte = 0; byte < 3; ++byte) {
        step[0][c] += std::abs(channel(texture, c, a, byte) - channel(texture, (c + 1) % 256, a, byte)) / 256.0;
        step[1][c] += std::abs(channel(texture, a, c, byte) - channel(texture, a, (c + 1) % 256, byte)) / 256.0;
      }
  for (const double* direction : step) {
    const double inside = std::accumulate(direction, direction + 255, 0.0) / 255;
    EXPECT_LE(direction[255], inside);
    EXPECT_LT(inside, 8.0);
  }
  EXPECT_TRUE(std::all_of(pixels_of(texture), pixels_of(texture) + 256 * 256, [](uint32_t p) { return p >> 24 == 255; }));
  EXPECT_GT(mean_opaque_byte(texture, 2), mean_opaque_byte(texture, 0));
}
