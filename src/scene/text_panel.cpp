#include "scene/text_panel.h"

#include "gfx/assets.h"
#include "gfx/blit.h"
#include "gfx/frame.h"
#include "platform/entry_points.h"

// Two columns of eleven lines; the final tab opens an empty page 1.
const char panel_text[] =
    "If you are like us and believe\n"
    "in fun and friendship instead\n"
    "of status and ego, you might\n"
    "be what we are looking for.\n"
    "\n"
    "We are looking for a few cool\n"
    "guys or girls who can do one\n"
    "of the following:\n"
    "\n"
    "Code (for any platform), do gfx\n"
    "or music.\n"
    "\t"
    "Contact us if this turns you\n"
    "on =)\n"
    "\n"
    "DON'T contact us if you are\n"
    "already in lots of crews and\n"
    "DON'T contact us if you don't\n"
    "have time to do anything, we\n"
    "have had enough idlers thank\n"
    "you =)\n"
    "\n"
    "  Contact: join@example.org\n"
    "\t";

namespace {

constexpr int line_height = 16;
constexpr int space_width = 7;
constexpr int glyph_spacing = 1;

// Odd tab counts put the pen in the right column, even ones in the left.
int column_left(int tabs_seen) { return tabs_seen % 2 == 1 ? text_panel_width / 2 : 0; }

}  // namespace

bool text_panel_init(TextPanel& panel, const SDL_Surface* sheet) {
  panel.text = panel_text;
  panel.order = character_order;
  build_char_map(panel.char_map, uint8_t(character_order_length - 1));
  panel.atlas = glyph_atlas_build(sheet, small_font_cell);
  panel.surface = lib::SDL_CreateRGBSurface(SDL_SRCALPHA, text_panel_width, text_panel_height, 32, 0, 0, 0, 0);
  panel.page = 0;
  return panel.atlas != nullptr && panel.surface != nullptr;
}

void text_panel_typeset(TextPanel& panel) {
  if (panel.surface == nullptr) return;
  lib::SDL_FillRect(panel.surface, nullptr, 0);
  const FrameView frame = frame_of(panel.surface);

  int tabs = 0, page = 0, x = 0, y = 0;
  for (const unsigned char byte : panel.text) {
    if (byte == '\t') {  // counted on every page, so later pages are found
      ++tabs;
      x = column_left(tabs);
      y = 0;
      if (tabs % 2 == 0) ++page;
      continue;
    }
    if (page != panel.page) continue;
    if (byte == '\n') {
      x = column_left(tabs);
      y += line_height;
    } else if (byte == ' ') {
      x += space_width;
    } else {
      // A glyph the atlas lacks draws nothing and advances by the spacing alone.
      const SDL_Surface* glyph = atlas_glyph(panel.atlas, panel.char_map[byte]);
      if (glyph != nullptr) blit_alpha(glyph, frame, x, y);
      x += glyph_width(glyph) + glyph_spacing;
    }
  }
}

void text_panel_draw(const TextPanel& panel, const FrameView& frame) {
  if (panel.surface == nullptr) return;
  blit_alpha(panel.surface, frame, text_panel_left, text_panel_top);
}

void text_panel_free(TextPanel& panel) {
  glyph_atlas_free(panel.atlas);
  if (panel.surface != nullptr) lib::SDL_FreeSurface(panel.surface);
  panel.atlas = nullptr;
  panel.surface = nullptr;
}
