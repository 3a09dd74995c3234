#include "scene/scroller.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/binding.h"
#include "gfx/display.h"
#include "scene/anim_state.h"
#include "support/font_sheet.h"
#include "support/media_double.h"

namespace {

// 96 glyphs in 32-pixel cells, colour = index + 1 (support/font_sheet.h).
class ScrollerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    open_test_display();
    anim_state.store(&state);
    sheet = make_indexed_sheet(32, 16, 6, 92);
    scroller_init(sheet);
  }
  void TearDown() override {
    scroller_free();
    anim_state.store(nullptr);
    lib::SDL_FreeSurface(sheet);
  }
  void set_text(const char* text) {
    scroller->text = text;
    scroller_lay_out();
  }
  // Draws one frame with the text's first byte at `scroll_x`.
  void draw_at(double scroll_x) {
    state.scroll_x = scroll_x;
    scroller_draw();
  }
  double scroll_x() const { return state.scroll_x; }

  AnimState state;
  SDL_Surface* sheet;
};

uint32_t darkened(uint32_t pixel, int times) {
  for (int i = 0; i < times; ++i) {
    const uint32_t b0 = pixel & 0xff, b1 = (pixel >> 8) & 0xff, b2 = (pixel >> 16) & 0xff;
    pixel = (pixel & 0xff000000u) | (b2 >> 2) << 16 | (b1 >> 2) << 8 | b0 >> 1;
  }
  return pixel;
}

// A different, bright value in every pixel, alpha bytes included.
uint32_t pattern(int x, int y) { return 0x01e0c0f0u * uint32_t(x + 7) ^ uint32_t(y * 0x9e3779b1u); }

}  // namespace

TEST_F(ScrollerTest, SetUpLaysOutTheGreetingsAndStartsAtTheRightEdge) {
  EXPECT_EQ(scroll_x(), 640.0);
  EXPECT_EQ(scroller->length, 259);
  EXPECT_EQ(scroller->text.substr(0, 8), ".... The");
  EXPECT_EQ(scroller->text.substr(252), "=) ....");
  EXPECT_EQ(scroller->order.size(), 92u);
  int highest = 0;
  for (const unsigned char byte : scroller->text)
    if (byte != ' ') highest = std::max<int>(highest, scroller->char_map[byte]);
  EXPECT_EQ(highest, 85);
}

TEST_F(ScrollerTest, SetUpReplacesWhatEarlyTicksLeft) {
  scroller_free();
  state.scroll_x = -12345.0;
  scroller_init(sheet);
  EXPECT_EQ(scroll_x(), 640.0);
}

TEST_F(ScrollerTest, SpacesAdvanceTwelveAndGlyphsTheirWidthPlusFour) {
  set_text("A B\x01");  // an unknown byte is glyph 0
  const int a = glyph_ink_width(0) + 4, b = glyph_ink_width(1) + 4;
  EXPECT_EQ(scroller->length, 4);
  EXPECT_EQ(scroller->x_offsets, (std::vector<int32_t>{0, a, a + 12, a + 12 + b}));
  EXPECT_EQ(scroller->total_width, a + 12 + b + a);
}

TEST_F(ScrollerTest, LettersRideTheSine) {
  set_text("A");
  draw_at(0.0);  // x = 0, sin(0) = 0
  EXPECT_EQ(pixel_at(display, 0, 420), glyph_colour(0));
  EXPECT_EQ(pixel_at(display, 0, 419), 0u);

  open_test_display();
  scroller->x_offsets = {50};
  draw_at(100.0);  // x = 150, sin(11.5) × 15 + 420 = 406.87
  EXPECT_EQ(pixel_at(display, 150, 406), glyph_colour(0));
  EXPECT_EQ(pixel_at(display, 150, 405), 0u);
}

TEST_F(ScrollerTest, OnlyLettersFromMinus32To639AreDrawn) {
  set_text("A");
  const int last_column = glyph_ink_width(0) - 1;
  auto column_has_letter = [](int x) {
    for (int y = 405; y < 461; ++y)
      if (pixel_at(display, x, y) == glyph_colour(0)) return true;
    return false;
  };
  draw_at(639.0);
  EXPECT_TRUE(column_has_letter(639));
  open_test_display();
  draw_at(640.0);
  EXPECT_FALSE(column_has_letter(639));
  open_test_display();
  draw_at(-last_column);
  EXPECT_TRUE(column_has_letter(0));
  open_test_display();
  draw_at(-32.0);  // handed to the clip, which finds nothing left
  draw_at(-33.0);
  for (int x = 0; x < 640; ++x) EXPECT_FALSE(column_has_letter(x)) << x;
}

TEST_F(ScrollerTest, WrapsWhenTheFirstLetterReachesMinusTotalWidth) {
  set_text("AB");
  const int total = scroller->total_width;
  draw_at(-total + 1);
  EXPECT_EQ(scroll_x(), -total + 1);
  draw_at(-total + 0.5);  // truncated toward zero: x = -total + 1
  EXPECT_EQ(scroll_x(), -total + 0.5);
  draw_at(-total);
  EXPECT_EQ(scroll_x(), 640.0);

  // The second letter, at offset a, sees the value the first one reset.
  open_test_display();
  draw_at(-total - 5);
  EXPECT_EQ(scroll_x(), 640.0);
  for (int x = 0; x < 640; ++x) EXPECT_NE(pixel_at(display, x, 420), glyph_colour(1)) << x;
}

TEST_F(ScrollerTest, SpacesNeverWrap) {
  set_text("  A");
  const int total = scroller->total_width;
  draw_at(-total - 23);  // the spaces are far out; 'A' is at -total + 1
  EXPECT_EQ(scroll_x(), -total - 23);
  draw_at(-total - 24);
  EXPECT_EQ(scroll_x(), 640.0);

  set_text("   ");
  draw_at(-100000.0);
  EXPECT_EQ(scroll_x(), -100000.0);
}

TEST_F(ScrollerTest, GlyphsMissingFromASmallFontAreSkippedWithTheSpacingKept) {
  scroller_free();
  SDL_Surface* small = make_indexed_sheet(32, 16, 1, 16);  // glyphs 0..15 only
  scroller_init(small);
  set_text("ZA");  // 'Z' is glyph 25
  EXPECT_EQ(scroller->x_offsets[1], 4);
  draw_at(0.0);
  EXPECT_EQ(pixel_at(display, 0, 420), 0u);
  EXPECT_EQ(pixel_at(display, 4, 420), glyph_colour(0));
  lib::SDL_FreeSurface(small);
}

TEST_F(ScrollerTest, BandAndReflectionFollowTheirRowsInOrder) {
  set_text("");  // no letters: only the band and the reflection
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) pixel_at(display, x, y) = pattern(x, y);
  scroller_draw();

  struct Row {
    int row, source, darkenings;
  };
  // Destination, original row whose colour it shows, and how often it was darkened: once
  // by the band, once by the flip, once more below row 470; row 461 takes
  // row 466 after row 446 has been flipped into it.
  const Row reference[] = {
      {400, 400, 0}, {401, 401, 1}, {430, 430, 1}, {460, 460, 1}, {461, 446, 3}, {462, 462, 2},
      {463, 458, 2}, {464, 454, 2}, {465, 450, 2}, {466, 446, 2}, {467, 442, 2}, {468, 438, 2},
      {469, 434, 2}, {470, 430, 2}, {471, 426, 3}, {472, 422, 3}, {473, 418, 3}, {474, 414, 3},
      {475, 410, 3}, {476, 476, 2}, {479, 479, 2},
  };
  for (const Row& r : reference)
    for (int x = 0; x < 640; ++x)
      ASSERT_EQ(pixel_at(display, x, r.row) & 0xffffff, darkened(pattern(x, r.source), r.darkenings) & 0xffffff)
          << "row " << r.row << " column " << x;
  for (int y = 401; y < 480; ++y)
    for (int x = 0; x < 640; ++x) ASSERT_EQ(pixel_at(display, x, y) >> 24, pattern(x, y) >> 24);
}

TEST_F(ScrollerTest, ReflectionOverwritesLetterPixelsInItsRows) {
  set_text("A");
  draw_at(0.0);  // rows 420..451: the letter is copied into 468..475 flipped
  EXPECT_EQ(pixel_at(display, 0, 420), glyph_colour(0));
  EXPECT_EQ(pixel_at(display, 0, 470), darkened(glyph_colour(0), 1) & 0xffffff);  // from row 430
  EXPECT_EQ(pixel_at(display, 0, 471), darkened(glyph_colour(0), 2) & 0xffffff);  // from row 426

  open_test_display();
  draw_at(14.0);  // y = trunc(sin(1.54) × 15 + 420) = 434: rows 434..465
  EXPECT_EQ(pixel_at(display, 14, 434), glyph_colour(0));
  EXPECT_EQ(pixel_at(display, 14, 460), glyph_colour(0));
  // Rows 461..465 take the flipped colours and keep the letter's alpha byte.
  for (int y = 461; y <= 465; ++y) EXPECT_NE(pixel_at(display, 14, y), glyph_colour(0)) << y;
  EXPECT_EQ(pixel_at(display, 14, 462), darkened(glyph_colour(0), 1));
  EXPECT_EQ(pixel_at(display, 14, 461), darkened(glyph_colour(0), 2));
}

TEST_F(ScrollerTest, WithoutAnAtlasOnlyTheBandAndReflectionAreDrawn) {
  scroller_free();
  SDL_Surface* empty = make_surface(0, 0);
  scroller_init(empty);
  EXPECT_EQ(scroller->atlas, nullptr);
  pixel_at(display, 5, 430) = 0xff0000ff;
  draw_at(0.0);
  EXPECT_EQ(pixel_at(display, 5, 430), 0xff00007fu);
  lib::SDL_FreeSurface(empty);
}
