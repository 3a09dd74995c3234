#include "scene/text_panel.h"

#include <gtest/gtest.h>

#include "app/binding.h"
#include "gfx/display.h"
#include "support/font_sheet.h"
#include "support/media_double.h"

namespace {

// 92 glyphs in 16-pixel cells, colour = index + 1 (support/font_sheet.h).
class TextPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    open_test_display();
    sheet = make_indexed_sheet(16, 16, 6, 92);
  }
  void TearDown() override {
    text_panel_free();
    lib::SDL_FreeSurface(sheet);
  }
  void typeset(const char* text, int page = 0) {
    text_panel->text = text;
    text_panel->page = int8_t(page);
    text_panel_typeset();
  }
  uint32_t panel_pixel(int x, int y) { return pixel_at(text_panel->surface, x, y); }
  bool panel_is_transparent() {
    for (int y = 0; y < text_panel_height; ++y)
      for (int x = 0; x < text_panel_width; ++x)
        if (panel_pixel(x, y) != 0) return false;
    return true;
  }
  SDL_Surface* sheet;
};

int index_of(char c) { return text_panel->char_map[static_cast<unsigned char>(c)]; }

}  // namespace

TEST_F(TextPanelTest, SetUpMakesATransparentAlphaSurfaceAtPageZero) {
  text_panel_init(sheet);
  ASSERT_NE(text_panel->surface, nullptr);
  EXPECT_EQ(text_panel->surface->w, 512);
  EXPECT_EQ(text_panel->surface->h, 215);
  EXPECT_TRUE(text_panel->surface->flags & SDL_SRCALPHA);
  EXPECT_EQ(text_panel->page, 0);
  EXPECT_EQ(text_panel->atlas->count, 96);
  EXPECT_EQ(text_panel->order.size(), 92u);
}

TEST_F(TextPanelTest, TheMessageUsesOnlyGlyphsOfTheFontInTwoColumnsOfElevenLines) {
  text_panel_init(sheet);
  const std::string& text = text_panel->text;
  EXPECT_EQ(text.find('\t'), text.find("Contact us") - 1);
  EXPECT_EQ(text.back(), '\t');
  int newlines = 0, highest = 0;
  for (const unsigned char byte : text) {
    if (byte == '\n') ++newlines;
    if (byte == '\n' || byte == '\t' || byte == ' ') continue;
    EXPECT_LT(text_panel->char_map[byte], 91) << "byte " << int(byte) << " has no glyph of its own";
    highest = std::max<int>(highest, text_panel->char_map[byte]);
  }
  EXPECT_EQ(newlines, 22);
  EXPECT_EQ(highest, 85);
}

TEST_F(TextPanelTest, PageZeroPlacesBothColumns) {
  text_panel_init(sheet);
  text_panel_typeset();
  EXPECT_EQ(panel_pixel(0, 0), glyph_colour(index_of('I')));
  EXPECT_EQ(panel_pixel(0, 160), glyph_colour(index_of('o')));  // "or music."
  EXPECT_EQ(panel_pixel(256, 0), glyph_colour(index_of('C')));
  EXPECT_EQ(panel_pixel(256, 16), glyph_colour(index_of('o')));  // "on =)": back to 256, not 0
  // "  Contact: " starts two 7-pixel spaces in.
  EXPECT_EQ(panel_pixel(269, 160), 0u);
  EXPECT_EQ(panel_pixel(270, 160), glyph_colour(index_of('C')));
  EXPECT_EQ(panel_pixel(270, 175), glyph_colour(index_of('C')));
  for (int x = 0; x < text_panel_width; ++x) EXPECT_EQ(panel_pixel(x, 176), 0u) << x;
}

TEST_F(TextPanelTest, GlyphsAdvanceByWidthPlusOneAndSpacesBySeven) {
  text_panel_init(sheet);
  typeset("AB C");
  const int b = glyph_ink_width(0) + 1;
  const int c = b + glyph_ink_width(1) + 1 + 7;
  EXPECT_EQ(panel_pixel(0, 0), glyph_colour(0));
  EXPECT_EQ(panel_pixel(b - 1, 0), 0u);
  EXPECT_EQ(panel_pixel(b, 0), glyph_colour(1));
  EXPECT_EQ(panel_pixel(c - 1, 0), 0u);
  EXPECT_EQ(panel_pixel(c, 0), glyph_colour(2));
}

TEST_F(TextPanelTest, TabsAreCountedAcrossPages) {
  text_panel_init(sheet);
  typeset("A\nB\tC\tD\nE\tF\t", 1);
  EXPECT_EQ(panel_pixel(0, 0), glyph_colour(3));
  EXPECT_EQ(panel_pixel(0, 16), glyph_colour(4));
  EXPECT_EQ(panel_pixel(256, 0), glyph_colour(5));
  EXPECT_EQ(panel_pixel(256, 16), 0u);

  typeset("A\t\tB", 1);  // two tabs in a row: page 0's right column stays empty
  EXPECT_EQ(panel_pixel(0, 0), glyph_colour(1));
  typeset("A\t\tB", 0);
  EXPECT_EQ(panel_pixel(0, 0), glyph_colour(0));
  EXPECT_EQ(panel_pixel(256, 0), 0u);

  typeset("AB");  // no tab at all: one left column on page 0
  EXPECT_EQ(panel_pixel(glyph_ink_width(0) + 1, 0), glyph_colour(1));
}

TEST_F(TextPanelTest, APageWithoutTextLeavesThePanelTransparent) {
  text_panel_init(sheet);
  text_panel_typeset();
  text_panel->page = 1;
  text_panel_typeset();
  EXPECT_TRUE(panel_is_transparent());
}

TEST_F(TextPanelTest, UnknownBytesShowTheLastGlyph) {
  text_panel_init(sheet);
  typeset("\x01");
  EXPECT_EQ(panel_pixel(0, 0), glyph_colour(91));
}

TEST_F(TextPanelTest, LinesRunOnPastTheColumnAndAreClippedAtThePanelEdge) {
  text_panel_init(sheet);
  typeset("\t                                   A");  // 35 spaces: x = 501
  EXPECT_EQ(panel_pixel(501, 0), glyph_colour(0));
  typeset("\t                                      A");  // x = 522, wholly outside
  EXPECT_TRUE(panel_is_transparent());
}

TEST_F(TextPanelTest, GlyphsMissingFromASmallFontAreSkippedWithTheSpacingKept) {
  SDL_Surface* small = make_indexed_sheet(16, 16, 1, 16);  // glyphs 0..15 only
  text_panel_init(small);
  typeset("ZA");  // 'Z' is glyph 25
  EXPECT_EQ(panel_pixel(0, 0), 0u);
  EXPECT_EQ(panel_pixel(1, 0), glyph_colour(0));
  lib::SDL_FreeSurface(small);
}

TEST_F(TextPanelTest, WithoutAnAtlasThePanelIsEmptyButDrawn) {
  SDL_Surface* empty = make_surface(0, 0);
  text_panel_init(empty);
  EXPECT_EQ(text_panel->atlas, nullptr);
  text_panel_typeset();
  EXPECT_TRUE(panel_is_transparent());
  text_panel_draw();
  lib::SDL_FreeSurface(empty);
}

TEST_F(TextPanelTest, DrawBlendsThePanelOntoTheDisplayAt70By190) {
  text_panel_init(sheet);
  text_panel_typeset();
  pixel_at(display, 69, 190) = 0x00123456;
  pixel_at(display, 70 + 500, 190 + 200) = 0x00123456;  // under a transparent part
  text_panel_draw();
  EXPECT_EQ(pixel_at(display, 70, 190), glyph_colour(index_of('I')));
  EXPECT_EQ(pixel_at(display, 70 + 256, 190 + 16), glyph_colour(index_of('o')));
  EXPECT_EQ(pixel_at(display, 69, 190), 0x00123456u);
  EXPECT_EQ(pixel_at(display, 570, 390), 0x00123456u);
}
