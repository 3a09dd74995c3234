#include "scene/scroller.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "reference/reference.h"
#include "support/font_sheet.h"
#include "support/media_double.h"
#include "support/same_pixels.h"

namespace {

class Scroller : public ::testing::Test {
 protected:
  void TearDown() override { scroller_free(scroller); }
  // Sets up anew with an index-coded font (support/font_sheet.h) of
  // `cell_rows` rows of 16 glyphs, and lays out `text` (none: the greetings).
  bool init(int cell_rows, const char* text) {
    scroller_free(scroller);
    open_test_display();
    const bool built = scroller_init(scroller, make_indexed_sheet(32, cell_rows));
    if (text != nullptr) scroller.text = text;
    scroller_lay_out(scroller);
    return built;
  }
  // Draws at `position` over a cleared frame, or over `start`.
  void draw_at(double position, const std::vector<uint32_t>& start = std::vector<uint32_t>(640 * 480)) {
    frame = start;
    scroll_x = position;
    scroller_draw(scroller, FrameView{frame.data(), 640, 480, 640}, scroll_x);
  }
  uint32_t at(int x, int y) const { return frame[size_t(y) * 640 + size_t(x)]; }
  std::atomic<double> scroll_x{0.0};
  std::vector<uint32_t> frame;
  SineScroller scroller;
};

}  // namespace

// A space advances 12, a glyph its width + 4, and a byte outside the order is
// glyph 0. Letter row trunc(sin((scroll_x + x / 10) / 10) × 15 + 420): 420
// at x = 0 with scroll_x 0; sin(11.5) × 15 + 420 = 406.87 for offset 50 at
// 100, and sin(70.29) × 15 + 420 = 433.84 at 639. A letter at 640 is not
// drawn; a glyph the font lacks draws nothing but keeps its spacing, and
// without any glyph only the band and reflection are drawn.
TEST_F(Scroller, LaysOutTheTextAndItsLettersRideTheSineUpToTheRightEdge) {
  init(6, nullptr);
  for (const unsigned char byte : scroller.text)
    EXPECT_TRUE(byte == ' ' || std::memchr(character_order, byte, character_order_length)) << byte;
  init(6, "A B\x01");
  const int a = glyph_ink_width(0) + 4, b = glyph_ink_width(1) + 4;
  EXPECT_EQ(scroller.x_offsets, (std::vector<int32_t>{0, a, a + 12, a + 12 + b}));
  EXPECT_EQ(scroller.total_width, a + 12 + b + a);
  init(6, "A");
  struct Case { int offset; double position; int x, row; };
  for (const Case& c : {Case{0, 0.0, 0, 420}, {50, 100.0, 150, 406}, {0, 639.0, 639, 433}}) {
    scroller.x_offsets = {c.offset};
    draw_at(c.position);
    EXPECT_EQ(at(c.x, c.row), glyph_colour(0)) << c.x;
    EXPECT_EQ(at(c.x, c.row - 1), 0u) << c.x;
  }
  draw_at(640.0);
  EXPECT_EQ(frame, std::vector<uint32_t>(640 * 480));
  init(1, "ZA");  // glyphs 0..15: 'Z' is glyph 25
  draw_at(0.0);
  EXPECT_EQ(at(4, 420), glyph_colour(0));
  EXPECT_FALSE(init(0, "ZA"));
  draw_at(0.0);
}

// Leading spaces are never tested, so in "  AB" (spaces of 12, A 3 + 4 and
// B 4 + 4 wide: 39 in all) the first letter is at offset 24. x truncates
// toward zero: at -63 + 0.5 the first letter is at -38, one short of the
// wrap; at -63 it is at -39, and the text starts again at 640. A text of
// spaces never wraps.
TEST_F(Scroller, WrapsWhenTheFirstLetterReachesMinusTotalWidth) {
  struct Case { const char* text; double position, after; };
  for (const Case& c : {Case{"  AB", -62.5, -62.5}, {"  AB", -63.0, 640.0}, {"   ", -1e5, -1e5}}) {
    init(6, c.text);
    draw_at(c.position);
    EXPECT_EQ(scroll_x, c.after) << c.text << " at " << c.position;
  }
}

// Each row, the original row whose colour it shows and how often that was
// darkened: once by the band from row 401, once by the flip of rows 410,
// 414, .., 466 into 475 down to 461, once more from row 471. The flip runs in
// place: row 462 is flipped onto itself, and row 461 takes row 466 after row
// 446 was flipped into it. Alpha bytes stay. (The darkening over whole rows,
// which is all the intro darkens, on both paths; the logo's band is another.)
TEST_F(Scroller, BandAndReflectionFollowTheirRowsInOrder) {
  init(6, "");
  const std::vector<uint32_t> start = noise(640 * 480, 4);
  draw_at(0.0, start);
  struct Row { int row, source, darkenings; };
  for (const Row& r : {Row{400, 400, 0}, {401, 401, 1}, {460, 460, 1}, {461, 446, 3}, {462, 462, 2}, {463, 458, 2},
                       {470, 430, 2}, {471, 426, 3}, {475, 410, 3}, {476, 476, 2}, {479, 479, 2}})
    for (int x = 0; x < 640; ++x) {
      uint32_t expected = start[size_t(r.source) * 640 + size_t(x)];
      for (int i = 0; i < r.darkenings; ++i) expected = reference::darken(expected);
      const uint32_t alpha = start[size_t(r.row) * 640 + size_t(x)] & 0xff000000u;
      ASSERT_EQ(at(x, r.row), (expected & 0xffffffu) | alpha) << "row " << r.row << " column " << x;
    }
}
