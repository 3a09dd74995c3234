// Generates the logo: the group's name "KOB" in wide, slanted bold capitals
// with a chrome fill (a cool sky above a dark horizon, warm ground below),
// bevelled edges lit from the top left, a dark rim and a drop shadow.
//
//   logo FONT.ttf OUT.dt
//
// The image is exactly 161 rows high, so the divider under it lands on row
// 171, and at most 562 wide, so it stays on the display while it sways. Its
// colours stay mid-range for the scene's colour wobble to show, and the file
// holds red first (the scene exchanges red and blue after loading).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "outline_font.h"
#include "raster.h"

namespace {

constexpr int logo_height = 161;
constexpr int max_logo_width = 562;
constexpr double letter_size = 186.0;  // em in pixels
constexpr double stretch = 1.22;
constexpr double slant = 0.16;
constexpr double tracking = -4.0;      // letters close up; their rims merge
constexpr double rim = 4.0;
constexpr int shadow_offset = 6;
constexpr int margin = 24;             // room for rim and shadow while composing

struct Layout {
  Mask fill;
  int cap_top, baseline;  // rows of the letters' cap line and baseline
};

Layout set_letters(const OutlineFont& font) {
  const char32_t letters[] = {U'K', U'O', U'B'};
  GlyphImage images[3];
  double width = 0;
  for (int i = 0; i < 3; ++i) {
    images[i] = font.render(letters[i], letter_size, stretch, slant, false);
    width += images[i].advance + (i < 2 ? tracking : 0);
  }
  const int cap = int(std::lround(letter_size * 0.73));
  Layout layout{Mask(int(width) + 2 * margin + cap / 4, cap + 2 * margin + 8), margin, margin + cap};
  double pen = margin;
  for (const GlyphImage& image : images) {
    const int left = int(std::lround(pen)) + image.left, top = layout.baseline - image.top;
    for (int y = 0; y < image.coverage.height; ++y)
      for (int x = 0; x < image.coverage.width; ++x) {
        double& cell = layout.fill.at(left + x, top + y);
        cell = std::max(cell, image.coverage.at(x, y));
      }
    pen += image.advance + tracking;
  }
  return layout;
}

Rgba chrome(double t) {
  // Sky, bright band, horizon, ground: kept within about 50..215.
  static const struct { double t; Rgba colour; } stops[] = {
      {0.00, {96, 118, 168, 1}},  {0.40, {196, 204, 222, 1}}, {0.47, {214, 216, 226, 1}},
      {0.50, {58, 48, 78, 1}},    {0.56, {92, 64, 58, 1}},    {1.00, {206, 158, 96, 1}}};
  t = std::clamp(t, 0.0, 1.0);
  int i = 0;
  while (i < 4 && t > stops[i + 1].t) ++i;
  const double u = (t - stops[i].t) / (stops[i + 1].t - stops[i].t);
  const Rgba& a = stops[i].colour;
  const Rgba& b = stops[i + 1].colour;
  return Rgba{a.r + (b.r - a.r) * u, a.g + (b.g - a.g) * u, a.b + (b.b - a.b) * u, 1};
}

Canvas paint(const Layout& layout) {
  const Mask& fill = layout.fill;
  // A soft height field of the letters: its slope lights the bevel.
  const Mask height = blur(fill, 2, 3);
  Canvas canvas(fill.width, fill.height);
  for (int y = 0; y < fill.height; ++y) {
    const double t = (y + 0.5 - layout.cap_top) / double(layout.baseline - layout.cap_top);
    const Rgba base = chrome(t);
    for (int x = 0; x < fill.width; ++x) {
      const double coverage = fill.at(x, y);
      if (coverage <= 0) continue;
      const double dx = height.get(x + 1, y) - height.get(x - 1, y);
      const double dy = height.get(x, y + 1) - height.get(x, y - 1);
      // Light from the top left: slopes facing it brighten, the others darken.
      const double light = std::clamp(1.0 + 1.6 * (dx + dy), 0.45, 1.35);
      canvas.at(x, y) = Rgba{std::min(base.r * light, 225.0), std::min(base.g * light, 225.0),
                             std::min(base.b * light, 230.0), coverage};
    }
  }
  const Mask outline = dilate(fill, rim);
  paint_under(canvas, outline, 0, 0, Rgba{26, 20, 46, 1});
  paint_under(canvas, outline, shadow_offset, shadow_offset, Rgba{0, 0, 8, 0.75});
  return canvas;
}

// Cuts the inked part out, centred in an image exactly `logo_height` rows high.
Canvas crop(const Canvas& canvas) {
  int left = canvas.width, right = -1, top = canvas.height, bottom = -1;
  for (int y = 0; y < canvas.height; ++y)
    for (int x = 0; x < canvas.width; ++x)
      if (to_byte(canvas.at(x, y).a * 255) != 0) {
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
      }
  const int ink_width = right - left + 1, ink_height = bottom - top + 1;
  Canvas logo(ink_width + 2, logo_height);
  const int offset_y = (logo_height - ink_height) / 2;
  for (int y = 0; y < ink_height; ++y)
    for (int x = 0; x < ink_width; ++x) logo.at(x + 1, y + offset_y) = canvas.at(left + x, top + y);
  return logo;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: logo FONT.ttf OUT.dt\n");
    return 2;
  }
  const OutlineFont font(argv[1]);
  const Layout layout = set_letters(font);
  const Canvas painted = paint(layout);
  const Canvas logo = crop(painted);
  if (logo.width > max_logo_width) {
    std::fprintf(stderr, "logo is %d wide, more than %d\n", logo.width, max_logo_width);
    return 1;
  }
  if (!write_dt(argv[2], logo.width, logo.height, pixel_bytes(logo, ByteOrder::red_first))) {
    std::fprintf(stderr, "cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
