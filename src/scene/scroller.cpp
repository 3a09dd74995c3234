#include "scene/scroller.h"

#include <cmath>

#include "gfx/assets.h"
#include "gfx/blit.h"
#include "gfx/frame.h"

namespace {

const char scroll_text[] =
    ".... The boys are back in town! Once again the hard hitting KOB posse is back to bring you this "
    "little jointro =). Greetings fly out to all our old but not forgotten members on Amiga, GBC and PC "
    "as well as all our old competitors, you know who you are =) ....";

constexpr int space_advance = 12;
constexpr int glyph_spacing = 4;
constexpr int band_top = 401;
constexpr int reflection_bottom = 475;  // the reflection fills rows 461..475
constexpr int reflection_rows = 15;
constexpr int reflection_source_top = 410;
constexpr int reflection_source_step = 4;  // squashes 60 rows into 15
constexpr int second_darkening_top = 471;

const SDL_Surface* glyph_of(const SineScroller& s, unsigned char byte) {
  return atlas_glyph(s.atlas, s.char_map[byte]);
}

// Each letter rides a sine whose phase moves with the scroll position and
// with the letter's own column, so the wave travels along the text.
int letter_row(double scroll_x, int32_t x) {
  return int(std::sin((scroll_x + x / 10.0) / 10.0) * 15 + 420);
}

void draw_letters(const SineScroller& s, const FrameView& frame, std::atomic<double>& scroll_position) {
  for (int32_t i = 0; i < s.length; ++i) {
    const unsigned char byte = static_cast<unsigned char>(s.text[size_t(i)]);
    if (byte == ' ') continue;  // neither drawn nor tested for the wrap
    // Read afresh per letter: a tick between letters is accepted.
    const double scroll_x = scroll_position.load(std::memory_order_relaxed);
    const int32_t x = int32_t(s.x_offsets[size_t(i)] + scroll_x);
    if (-big_font_cell <= x && x < frame.width) {
      const SDL_Surface* glyph = glyph_of(s, byte);
      if (glyph != nullptr) blit_alpha(glyph, frame, x, letter_row(scroll_x, x));
    }
    // The first letter at -total_width means the last one has left the screen.
    if (x <= -s.total_width) scroll_position.store(scroller_start_x, std::memory_order_relaxed);
  }
}

// Rows 410, 414, ..., 466 flipped into rows 475 down to 461, darkened. The
// ranges overlap and the copy runs in place in this order: row 462 is
// darkened onto itself, and row 461 takes row 466 after row 446 was copied
// there.
void draw_reflection(const FrameView& frame) {
  for (int k = 0; k < reflection_rows; ++k) {
    const uint32_t* source = frame.row(reflection_source_top + reflection_source_step * k);
    uint32_t* destination = frame.row(reflection_bottom - k);
    // Colour from the darkened source; the alpha byte stays the destination's.
    for (int c = 0; c < frame.width; ++c)
      destination[c] = (destination[c] & 0xff000000u) | (darken_pixel(source[c]) & 0x00ffffffu);
  }
}

}  // namespace

bool scroller_init(SineScroller& s, const SDL_Surface* sheet) {
  s.order = character_order;
  s.text = scroll_text;
  build_char_map(s.char_map, 0);
  s.atlas = glyph_atlas_build(sheet, big_font_cell);
  scroller_lay_out(s);
  return s.atlas != nullptr;
}

void scroller_lay_out(SineScroller& s) {
  s.length = int32_t(s.text.size());
  s.x_offsets.assign(size_t(s.length), 0);
  int32_t sum = 0;
  for (int32_t i = 0; i < s.length; ++i) {
    s.x_offsets[size_t(i)] = sum;
    const unsigned char byte = static_cast<unsigned char>(s.text[size_t(i)]);
    sum += byte == ' ' ? space_advance : glyph_width(glyph_of(s, byte)) + glyph_spacing;
  }
  s.total_width = sum;
}

void scroller_draw(const SineScroller& s, const FrameView& frame, std::atomic<double>& scroll_x) {
  darken_rect(frame, 0, band_top, frame.width, frame.height);
  draw_letters(s, frame, scroll_x);
  draw_reflection(frame);
  darken_rect(frame, 0, second_darkening_top, frame.width, frame.height);
}

void scroller_free(SineScroller& s) {
  glyph_atlas_free(s.atlas);
  s.atlas = nullptr;
}
