// One line of greetings scrolling right to left along a travelling sine wave
// over a darkened band, with a flipped, squashed and darkened reflection
// below it. The position is the animation state's `scroll_x`, lowered by the
// clock thread one pixel per tick and put back at the right edge here once
// the whole text has left the screen.
#pragma once

#include <SDL/SDL.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "gfx/atlas.h"
#include "gfx/char_map.h"
#include "gfx/frame.h"

struct SineScroller {
  GlyphAtlas* atlas = nullptr;     // the big font in 32-pixel cells; null if the sheet had none
  std::string order;               // the glyph order of the font sheet
  CharMap char_map{};              // bytes outside the order show glyph 0
  std::string text;                // the scroll text, one line
  int32_t length = 0;              // bytes in `text`
  std::vector<int32_t> x_offsets;  // offset of each byte from the start of the text
  int32_t total_width = 0;         // offset just past the last byte
};

// Where the text starts, and starts again after it has left the screen: just
// beyond the right edge.
constexpr double scroller_start_x = display_width;

// Builds the scroller from the big font `sheet` (only read) and lays out its
// text. False when the sheet holds no glyphs: the scroller then draws its
// band and reflection without letters.
bool scroller_init(SineScroller& s, const SDL_Surface* sheet);

// Lays out `text` afresh: a space is 12 pixels, a glyph its width plus 4.
void scroller_lay_out(SineScroller& s);

// Draws band, letters and reflection into the 640 × 480 frame at the scroll
// position, which is read afresh for every letter (the clock may move it
// meanwhile) and put back to scroller_start_x once the whole text has left.
void scroller_draw(const SineScroller& s, const FrameView& frame, std::atomic<double>& scroll_x);

// Releases everything the scroller owns (not the sheet).
void scroller_free(SineScroller& s);
