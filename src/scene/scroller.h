// One line of greetings scrolling right to left along a travelling sine wave
// over a darkened band, with a flipped, squashed and darkened reflection
// below it. The position is the animation state's `scroll_x`, lowered by the
// clock thread one pixel per tick and put back at the right edge here once
// the whole text has left the screen.
#pragma once

#include <SDL/SDL.h>

#include <cstdint>
#include <string>
#include <vector>

#include "gfx/atlas.h"
#include "gfx/char_map.h"
#include "gfx/frame.h"

struct SineScroller {
  GlyphAtlas* atlas;               // the big font in 32-pixel cells; null if the sheet had none
  std::string order;               // the glyph order of the font sheet
  CharMap char_map;                // bytes outside the order show glyph 0
  std::string text;                // the scroll text, one line
  int32_t length;                  // bytes in `text`
  std::vector<int32_t> x_offsets;  // offset of each byte from the start of the text
  int32_t total_width;             // offset just past the last byte
};

// The scroller of the running scene, or null outside it.
extern SineScroller* scroller;

// Builds the scroller from the big font `sheet` (only read), lays out its
// text and puts the text just beyond the right edge (scroll_x = 640).
void scroller_init(const SDL_Surface* sheet);

// Lays out `text` afresh: a space is 12 pixels, a glyph its width plus 4.
void scroller_lay_out();

// Draws band, letters and reflection into the 640 × 480 frame.
void scroller_draw(const FrameView& frame);

// Releases the scroller and everything it owns (not the sheet).
void scroller_free();
