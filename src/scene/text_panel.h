// The recruitment message, typeset once with the small font into a
// transparent 512 × 215 panel and drawn over the background every frame.
//
// Tabs divide the text into columns and pages: an odd-numbered tab moves to
// the right column of the same page, an even-numbered one to the left column
// of the next page. The panel shows page `page`.
#pragma once

#include <SDL/SDL.h>

#include <cstdint>
#include <string>

#include "gfx/atlas.h"
#include "gfx/char_map.h"
#include "gfx/frame.h"

struct TextPanel {
  std::string text;                // the message, with its newlines and tabs
  std::string order;               // the glyph order of the font sheet
  CharMap char_map{};              // bytes outside the order show the last glyph, 91
  SDL_Surface* surface = nullptr;  // the panel, 512 × 215; null if it could not be made
  GlyphAtlas* atlas = nullptr;     // the small font in 16-pixel cells; null if the sheet had none
  int8_t page = 0;                 // the page that text_panel_typeset draws
};

// The recruitment message, as typeset onto the panel.
extern const char panel_text[];

constexpr int text_panel_width = 512;
constexpr int text_panel_height = 215;
constexpr int text_panel_left = 70;
constexpr int text_panel_top = 190;

// Builds the panel from the small font `sheet` (only read) at page 0. False
// when the panel's surface or its glyphs could not be made: the panel then
// shows no text, and without a surface it is not drawn at all.
bool text_panel_init(TextPanel& panel, const SDL_Surface* sheet);

// Clears the panel to transparent black and typesets page `page` into it.
void text_panel_typeset(TextPanel& panel);

// Draws the panel onto the frame at (70, 190).
void text_panel_draw(const TextPanel& panel, const FrameView& frame);

// Releases everything the panel owns (not the sheet).
void text_panel_free(TextPanel& panel);
