#include "credits/credits.h"

#include "gfx/assets.h"
#include "gfx/atlas.h"
#include "gfx/blit.h"
#include "gfx/char_map.h"
#include "gfx/frame.h"
#include "gfx/image.h"
#include "platform/entry_points.h"

namespace {

// Six lines of at most 20 bytes, centred on column 320 by the fixed advance.
const char credits_text[] =
    "credits\n"
    "~~~~~~~~~~~~~~~~~~~~\n"
    "code: ...... v4rd1an\n"
    "music: ...... grovik\n"
    "gfx: ....... v4rd1an\n"
    "handyman: .... 7zUmO\n";

constexpr int pen_left = 240;
constexpr int pen_top = 170;
constexpr int advance = 8;  // fixed, whatever the glyph's width
constexpr int line_height = 16;
constexpr Uint32 type_delay_ms = 10;
constexpr Uint32 hold_ms = 1500;

void type_credits(SDL_Surface* display, const GlyphAtlas* atlas, const CharMap& map) {
  const FrameView frame = frame_of(display);
  int x = pen_left, y = pen_top;
  for (const char* p = credits_text; *p != '\0'; ++p) {
    const unsigned char byte = static_cast<unsigned char>(*p);
    if (byte == ' ') {
      x += advance;
    } else if (byte == '\n') {
      x = pen_left;
      y += line_height;
    } else {
      if (const SDL_Surface* glyph = atlas_glyph(atlas, map[byte])) blit_alpha(glyph, frame, x, y);
      x += advance;
    }
    // Every byte costs a frame, spaces and newlines too: the typing keeps an
    // even rhythm.
    lib::SDL_Flip(display);
    lib::SDL_Delay(type_delay_ms);
  }
}

}  // namespace

bool show_credits(SDL_Surface* display) {
  SDL_Surface* sheet = load_asset_image(small_font_path);
  if (sheet == nullptr) {
    lib::SDL_Delay(hold_ms);
    return false;
  }
  GlyphAtlas* atlas = glyph_atlas_build(sheet, small_font_cell);
  CharMap map;
  build_char_map(map, 0);
  type_credits(display, atlas, map);
  lib::SDL_Delay(hold_ms);
  glyph_atlas_free(atlas);
  lib::SDL_FreeSurface(sheet);
  return true;
}
