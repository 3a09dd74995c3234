#include "scene/text_panel.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/font_sheet.h"
#include "support/media_double.h"

namespace {

class TextPanelTest : public ::testing::Test {
 protected:
  void TearDown() override { text_panel_free(panel); }
  // Sets up anew with an index-coded font (support/font_sheet.h) of
  // `cell_rows` rows of 16 glyphs.
  bool init(int cell_rows = 6) {
    text_panel_free(panel);
    open_test_display();
    return text_panel_init(panel, make_indexed_sheet(16, cell_rows));
  }
  void typeset(const char* text, int page = 0) {
    panel.text = text;
    panel.page = int8_t(page);
    text_panel_typeset(panel);
  }
  uint32_t at(int x, int y) { return pixel_at(panel.surface, x, y); }
  uint32_t glyph_of(char c) { return glyph_colour(panel.char_map[static_cast<unsigned char>(c)]); }
  TextPanel panel;
};

}  // namespace

// A 512 × 215 panel; lines 16 apart from 0 on the left, from 256 on the
// right. An odd tab moves to the right column, an even one to the next page
// (two in a row leave a right column empty); a space advances 7, a glyph its
// width + 1, and a byte outside the order is glyph 91. In the message,
// "  Contact: " starts at 270 and "on =)" back at 256, not 0.
TEST_F(TextPanelTest, TabsSetColumnsAndPagesGlyphsAdvanceByTheirWidthAndThePanelIsDrawnAt70By190) {
  ASSERT_TRUE(init());
  EXPECT_EQ(std::pair(panel.surface->w, panel.surface->h), std::pair(512, 215));
  const char *const tabs = "A\nB\tC\tD\nE\tF\t", *const spaced = "A B\x01";
  const int b = glyph_ink_width(0) + 1 + 7, next = b + glyph_ink_width(1) + 1;  // where B and \x01 start
  struct Case { const char* text; int page, x, y; uint32_t pixel; };
  for (const Case& c : {Case{panel_text, 0, 0, 0, glyph_of('I')}, {panel_text, 0, 0, 160, glyph_of('o')},
                        {panel_text, 0, 256, 16, glyph_of('o')}, {panel_text, 0, 269, 160, 0},
                        {panel_text, 0, 270, 160, glyph_of('C')}, {tabs, 1, 0, 0, glyph_colour(3)},
                        {tabs, 1, 0, 16, glyph_colour(4)}, {tabs, 1, 256, 0, glyph_colour(5)},
                        {"A\t\tB", 1, 0, 0, glyph_colour(1)}, {spaced, 0, b - 1, 0, 0},
                        {spaced, 0, b, 0, glyph_colour(1)}, {spaced, 0, next, 0, glyph_colour(91)}}) {
    typeset(c.text, c.page);
    EXPECT_EQ(at(c.x, c.y), c.pixel) << c.text << " page " << c.page << " at " << c.x << "," << c.y;
  }
  // Every byte of the message has its own glyph.
  for (const unsigned char byte : std::string(panel_text))
    EXPECT_TRUE(std::strchr("\n\t ", byte) || std::memchr(character_order, byte, character_order_length)) << byte;
  // Blended at 70, 190, where its transparent parts leave the display as it was.
  typeset(panel_text);
  std::vector<uint32_t> frame(640 * 480, 0x00123456);
  text_panel_draw(panel, FrameView{frame.data(), 640, 480, 640});
  EXPECT_EQ((std::vector<uint32_t>{frame[190 * 640 + 69], frame[190 * 640 + 70], frame[390 * 640 + 570]}),
            (std::vector<uint32_t>{0x00123456, glyph_of('I'), 0x00123456}));
  init(1);  // glyphs 0..15: 'Z' is glyph 25, which draws nothing but keeps its spacing
  typeset("ZA");
  EXPECT_EQ(at(0, 0), 0u);
  EXPECT_EQ(at(1, 0), glyph_colour(0));
  EXPECT_FALSE(init(0));  // no whole cell: an empty panel
  typeset(panel_text);
  EXPECT_EQ(at(0, 0), 0u);
}
