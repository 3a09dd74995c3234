// Generates the two font sheets: glyphs in square cells, one per slot of the
// intro's character order, left to right and top to bottom.
//
//   font_sheet big   FONT.ttf OUT.dt   32-pixel cells, 512 × 192: the scroller's
//                                      gold-to-crimson letters with a dark rim
//   font_sheet small FONT.ttf OUT.dt   16-pixel cells, 256 × 96: monospaced
//                                      light letters with a shadow for the
//                                      panel and credits
//
// The glyph atlas trims each cell to its inked columns but leaves out the
// rightmost one, so every glyph gets one extra column of alpha 1, invisible
// on screen, to the right of its ink. The continuation bytes of the two
// multi-byte characters get only that column, which makes them zero wide.
//
// The small font is set two ways: the credits advance a fixed 8 pixels, the
// panel by each glyph's width plus 1. So that both give the same even rhythm,
// each of its glyphs keeps a whole 8-pixel box through the trim: faint
// columns at both ends of the box, the ink centred between them, and every
// glyph 7 pixels wide.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "outline_font.h"
#include "raster.h"

namespace {

constexpr int slot_count = 92;

// The character each slot shows; 0 for the trailing bytes of "€" and "©".
char32_t slot_character(int slot) {
  static const char ascii[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz.,!?*-\"&/':~@+<>()[]1234567890{}%=$";
  static_assert(sizeof ascii - 1 == 87, "slots 0 to 86 are single bytes");
  if (slot < 87) return char32_t(static_cast<unsigned char>(ascii[slot]));
  if (slot == 87) return U'\u20AC';
  if (slot == 90) return U'\u00A9';
  return 0;
}

struct SheetStyle {
  int cell;
  int columns, rows;     // cells across and down
  double pixel_size;     // em size
  int baseline;          // row of the baseline inside the cell
  int max_ink;           // widest inked extent, rim or shadow included
  int box;               // 0: as wide as the ink; else the monospaced box
  bool hinted;
  // Paints one glyph mask (placed in a scratch canvas) with the look.
  void (*paint)(Canvas& canvas, const Mask& glyph, int baseline, double pixel_size);
};

double mix(double a, double b, double t) { return a + (b - a) * t; }

Rgba mix(const Rgba& a, const Rgba& b, double t) {
  return Rgba{mix(a.r, b.r, t), mix(a.g, b.g, t), mix(a.b, b.b, t), mix(a.a, b.a, t)};
}

// Piecewise-linear colour ramp over t in 0..1.
Rgba ramp(const Rgba* stops, int count, double t) {
  t = std::fmin(std::fmax(t, 0.0), 1.0) * (count - 1);
  const int i = std::min(int(t), count - 2);
  return mix(stops[i], stops[i + 1], t - i);
}

// The scroller's letters: a gold-to-crimson fill that runs from the cap line
// to the baseline, a light band near the top, and a dark rim around it all.
void paint_big(Canvas& canvas, const Mask& glyph, int baseline, double pixel_size) {
  static const Rgba stops[] = {{255, 252, 225, 1}, {255, 220, 90, 1}, {250, 160, 30, 1},
                               {225, 80, 25, 1},   {165, 25, 70, 1},  {110, 15, 90, 1}};
  const double cap_height = pixel_size * 0.73;
  for (int y = 0; y < canvas.height; ++y) {
    // From the cap line (0) to the baseline (1); descenders run on past it.
    const double t = (y + 0.5 - (baseline - cap_height)) / (cap_height * 1.25);
    const Rgba colour = ramp(stops, 6, t);
    for (int x = 0; x < canvas.width; ++x) {
      const double coverage = glyph.get(x, y);
      if (coverage > 0) canvas.at(x, y) = Rgba{colour.r, colour.g, colour.b, coverage};
    }
  }
  paint_under(canvas, dilate(glyph, 1.6), 0, 0, Rgba{40, 8, 36, 1});
}

// The panel's letters: near-white, a touch cooler at the bottom, with a dark
// shadow one pixel down and right so they read over the moving background.
void paint_small(Canvas& canvas, const Mask& glyph, int baseline, double pixel_size) {
  const double cap_height = pixel_size * 0.73;
  for (int y = 0; y < canvas.height; ++y) {
    const double t = std::fmin(std::fmax((y + 0.5 - (baseline - cap_height)) / cap_height, 0.0), 1.0);
    const Rgba colour = mix(Rgba{255, 255, 255, 1}, Rgba{196, 212, 240, 1}, t);
    for (int x = 0; x < canvas.width; ++x) {
      const double coverage = glyph.get(x, y);
      if (coverage > 0) canvas.at(x, y) = Rgba{colour.r, colour.g, colour.b, coverage};
    }
  }
  paint_under(canvas, glyph, 1, 1, Rgba{8, 8, 24, 0.9});
}

const SheetStyle big_style{32, 16, 6, 24.0, 23, 30, 0, false, paint_big};
// The box's last column is the one the atlas drops, so ink gets one less.
constexpr int small_box = 8;
const SheetStyle small_style{16, 16, 6, 13.0, 12, small_box - 1, small_box, true, paint_small};

// Scratch canvases are wider and taller than a cell so that nothing is cut
// before the glyph has been measured.
constexpr int scratch_margin = 16;

struct InkBox {
  int left, right, top, bottom;  // inclusive; left > right when empty
};

InkBox ink_box(const std::vector<uint8_t>& bytes, int width, int height) {
  InkBox box{width, -1, height, -1};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (bytes[(size_t(y) * width + x) * 4 + 3] != 0) {
        box.left = std::min(box.left, x);
        box.right = std::max(box.right, x);
        box.top = std::min(box.top, y);
        box.bottom = std::max(box.bottom, y);
      }
  return box;
}

// Draws one character in the style; the bytes are blue first, as the display
// wants them. Narrows the glyph until its ink fits `max_ink` columns (in the
// monospaced font most capitals and figures, and "m" or "w").
std::vector<uint8_t> draw_glyph(const OutlineFont& font, const SheetStyle& style, char32_t character,
                                int scratch_width, int scratch_height, InkBox& box) {
  double x_scale = 1.0;
  for (;;) {
    const GlyphImage image = font.render(character, style.pixel_size, x_scale, 0.0, style.hinted);
    Mask glyph(scratch_width, scratch_height);
    const int baseline = style.baseline + scratch_margin;
    for (int y = 0; y < image.coverage.height; ++y)
      for (int x = 0; x < image.coverage.width; ++x)
        glyph.at(scratch_margin + image.left + x, baseline - image.top + y) = image.coverage.at(x, y);
    Canvas canvas(scratch_width, scratch_height);
    style.paint(canvas, glyph, baseline, style.pixel_size);
    std::vector<uint8_t> bytes = pixel_bytes(canvas, ByteOrder::blue_first);
    box = ink_box(bytes, scratch_width, scratch_height);
    const int width = box.right - box.left + 1;
    if (width <= style.max_ink) return bytes;
    x_scale *= (style.max_ink - 0.25) / width;  // a little under, hinting may round up
  }
}

bool build_sheet(const OutlineFont& font, const SheetStyle& style, const std::string& out_path) {
  const int sheet_width = style.cell * style.columns, sheet_height = style.cell * style.rows;
  std::vector<uint8_t> sheet(size_t(sheet_width) * sheet_height * 4, 0);
  const int scratch_width = style.cell + 2 * scratch_margin;
  const int scratch_height = style.cell + 2 * scratch_margin;

  for (int slot = 0; slot < slot_count; ++slot) {
    const int cell_x = (slot % style.columns) * style.cell, cell_y = (slot / style.columns) * style.cell;
    auto sheet_pixel = [&](int x, int y) { return &sheet[(size_t(cell_y + y) * sheet_width + cell_x + x) * 4]; };
    // A faint dark pixel on the baseline row: seen by the trim, not on screen.
    auto mark = [&](int x) {
      uint8_t* marker = sheet_pixel(x, style.baseline);
      if (marker[3] != 0) return;
      marker[0] = marker[1] = marker[2] = 0;
      marker[3] = 1;
    };
    const char32_t character = slot_character(slot);
    if (character == 0) {
      mark(0);
      continue;
    }
    InkBox box;
    const std::vector<uint8_t> bytes = draw_glyph(font, style, character, scratch_width, scratch_height, box);
    if (box.top < scratch_margin || box.bottom >= scratch_margin + style.cell) {
      std::fprintf(stderr, "slot %d does not fit its cell vertically\n", slot);
      return false;
    }
    // Proportional ink starts at the cell's left edge (the atlas trims it
    // anyway); monospaced ink is centred in its columns of the box, half a
    // pixel to the right when it cannot be exact, nearer the box's middle.
    const int ink_width = box.right - box.left + 1;
    const int ink_left = style.box == 0 ? 0 : (style.max_ink - ink_width + 1) / 2;
    for (int y = 0; y < style.cell; ++y)
      for (int x = box.left; x <= box.right; ++x)
        std::memcpy(sheet_pixel(ink_left + x - box.left, y),
                    &bytes[(size_t(y + scratch_margin) * scratch_width + x) * 4], 4);
    if (style.box == 0) {
      mark(ink_width);
    } else {
      mark(0);
      mark(style.box - 1);
    }
  }
  if (write_dt(out_path, sheet_width, sheet_height, sheet)) return true;
  std::fprintf(stderr, "cannot write %s\n", out_path.c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || (std::strcmp(argv[1], "big") != 0 && std::strcmp(argv[1], "small") != 0)) {
    std::fprintf(stderr, "usage: font_sheet big|small FONT.ttf OUT.dt\n");
    return 2;
  }
  const OutlineFont font(argv[2]);
  const SheetStyle& style = std::strcmp(argv[1], "big") == 0 ? big_style : small_style;
  return build_sheet(font, style, argv[3]) ? 0 : 1;
}
