#include "scene/scroller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "gfx/frame.h"
#include "platform/entry_points.h"
#include "reference/reference.h"
#include "support/font_sheet.h"
#include "support/media_double.h"

namespace {

class ScrollerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    display = open_test_display();
    init();
  }
  void TearDown() override {
    scroller_free(scroller);
    lib::SDL_FreeSurface(sheet);
  }
  // Sets up with an index-coded font (support/font_sheet.h) of `cell_rows`
  // rows of 16 glyphs.
  bool init(int cell_rows = 6) {
    scroller_free(scroller);
    lib::SDL_FreeSurface(sheet);
    sheet = make_indexed_sheet(32, 16, cell_rows, 92);
    return scroller_init(scroller, sheet);
  }
  void set_text(const char* text) {
    scroller.text = text;
    scroller_lay_out(scroller);
  }
  void draw_at(double position) {
    scroll_x = position;
    scroller_draw(scroller, frame_of(display), scroll_x);
  }
  bool letter_in_column(int x) {
    for (int y = 405; y < 461; ++y)
      if (pixel_at(display, x, y) == glyph_colour(0)) return true;
    return false;
  }

  std::atomic<double> scroll_x{0.0};
  SineScroller scroller;
  SDL_Surface* display = nullptr;
  SDL_Surface* sheet = nullptr;
};

uint32_t darkened(uint32_t pixel, int times) {
  for (int i = 0; i < times; ++i) pixel = reference::darken(pixel);
  return pixel;
}

// A different value in every pixel, alpha bytes included.
uint32_t pattern(int x, int y) { return 0x01e0c0f0u * uint32_t(x + 7) ^ uint32_t(y * 0x9e3779b1u); }

}  // namespace

TEST_F(ScrollerTest, SetUpLaysOutTheGreetings) {
  EXPECT_EQ(scroller.length, 259);
  int highest = 0;
  for (const unsigned char byte : scroller.text)
    if (byte != ' ') highest = std::max<int>(highest, scroller.char_map[byte]);
  EXPECT_EQ(highest, 85);

  set_text("A B\x01");  // spaces 12, glyphs width + 4, unknown bytes glyph 0
  const int a = glyph_ink_width(0) + 4, b = glyph_ink_width(1) + 4;
  EXPECT_EQ(scroller.x_offsets, (std::vector<int32_t>{0, a, a + 12, a + 12 + b}));
  EXPECT_EQ(scroller.total_width, a + 12 + b + a);
}

TEST_F(ScrollerTest, LettersRideTheSineFromMinus32To639) {
  set_text("A");
  draw_at(0.0);  // x = 0, sin(0) = 0
  EXPECT_EQ(pixel_at(display, 0, 420), glyph_colour(0));
  EXPECT_EQ(pixel_at(display, 0, 419), 0u);
  display = open_test_display();
  scroller.x_offsets = {50};
  draw_at(100.0);  // x = 150, sin(11.5) × 15 + 420 = 406.87
  EXPECT_EQ(pixel_at(display, 150, 406), glyph_colour(0));
  EXPECT_EQ(pixel_at(display, 150, 405), 0u);

  set_text("A");
  display = open_test_display();
  draw_at(639.0);
  EXPECT_TRUE(letter_in_column(639));
  display = open_test_display();
  draw_at(640.0);
  draw_at(-32.0);  // handed to the clip, which finds nothing left
  draw_at(-33.0);
  for (int x = 0; x < 640; ++x) EXPECT_FALSE(letter_in_column(x)) << x;
  draw_at(1 - glyph_ink_width(0));
  EXPECT_TRUE(letter_in_column(0));
}

TEST_F(ScrollerTest, WrapsWhenTheFirstLetterReachesMinusTotalWidth) {
  set_text("  AB");  // leading spaces are never tested
  const int total = scroller.total_width, first = scroller.x_offsets[2];
  draw_at(-total - first + 0.5);  // x truncates toward zero, to -total + 1
  EXPECT_EQ(scroll_x, -total - first + 0.5);
  draw_at(-total - first);
  EXPECT_EQ(scroll_x, 640.0);

  set_text("   ");
  draw_at(-100000.0);
  EXPECT_EQ(scroll_x, -100000.0);
}

TEST_F(ScrollerTest, GlyphsTheFontLacksAreSkippedWithTheSpacingKept) {
  init(1);  // glyphs 0..15: 'Z' is glyph 25
  set_text("ZA");
  EXPECT_EQ(scroller.x_offsets[1], 4);
  draw_at(0.0);
  EXPECT_EQ(pixel_at(display, 4, 420), glyph_colour(0));
  EXPECT_FALSE(init(0));  // no glyphs: band and reflection only
  set_text("ZA");
  draw_at(0.0);
}

TEST_F(ScrollerTest, BandAndReflectionFollowTheirRowsInOrder) {
  set_text("");
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) pixel_at(display, x, y) = pattern(x, y);
  scroller_draw(scroller, frame_of(display), scroll_x);

  struct Row {
    int row, source, darkenings;
  };
  // Each row, the original row whose colour it shows and how often that was
  // darkened: once by the band, once by the flip, once more below row 470.
  // Row 462 is flipped onto itself; row 461 takes row 466 after row 446 was
  // flipped into it.
  const Row reference[] = {
      {400, 400, 0}, {401, 401, 1}, {460, 460, 1}, {461, 446, 3}, {462, 462, 2}, {463, 458, 2},
      {464, 454, 2}, {465, 450, 2}, {466, 446, 2}, {467, 442, 2}, {468, 438, 2}, {469, 434, 2},
      {470, 430, 2}, {471, 426, 3}, {472, 422, 3}, {473, 418, 3}, {474, 414, 3}, {475, 410, 3},
      {476, 476, 2}, {479, 479, 2},
  };
  for (const Row& r : reference)
    for (int x = 0; x < 640; ++x)
      ASSERT_EQ(pixel_at(display, x, r.row) & 0xffffff, darkened(pattern(x, r.source), r.darkenings) & 0xffffff)
          << "row " << r.row << " column " << x;
  for (int y = 401; y < 480; ++y)  // alpha bytes stay where they were
    for (int x = 0; x < 640; ++x) ASSERT_EQ(pixel_at(display, x, y) >> 24, pattern(x, y) >> 24);
}

TEST_F(ScrollerTest, ReflectionOverwritesLetterColoursInItsRows) {
  set_text("A");
  draw_at(14.0);  // y = trunc(sin(1.54) × 15 + 420) = 434: rows 434..465
  EXPECT_EQ(pixel_at(display, 14, 460), glyph_colour(0));
  EXPECT_EQ(pixel_at(display, 14, 462), darkened(glyph_colour(0), 1));
  EXPECT_EQ(pixel_at(display, 14, 461), darkened(glyph_colour(0), 2));
}

// The whole frame against the literal reference at positions across a pass,
// the last one wrapping, over a patterned display.
TEST_F(ScrollerTest, WholeFrameMatchesTheLiteralReference) {
  for (double position : {640.0, 600.0, 311.5, 0.0, -20.25, -1000.0, double(-scroller.total_width)}) {
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x) pixel_at(display, x, y) = pattern(x, y);
    SDL_Surface* expected = make_surface(640, 480);
    std::copy_n(pixels_of(display), 640 * 480, pixels_of(expected));
    const double expected_scroll_x = reference::scroller(expected, scroller, position);
    draw_at(position);
    EXPECT_EQ(scroll_x, expected_scroll_x);
    for (int i = 0; i < 640 * 480; ++i)
      ASSERT_EQ(pixels_of(display)[i], pixels_of(expected)[i]) << "scroll_x " << position << " pixel " << i;
    lib::SDL_FreeSurface(expected);
  }
}
