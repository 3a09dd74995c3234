// The four generated images, loaded with the intro's own loader, against what
// their users need: sheet sizes and slots, glyph widths as the atlas will cut
// them, the panel's column width, the logo's size, the texture's seam.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "gfx/atlas.h"
#include "gfx/image.h"
#include "platform/entry_points.h"
#include "scene/text_panel.h"
#include "support/media_double.h"

namespace {

const std::string data_dir = INTRO_DATA_DIR_PATH;

// The glyph slots' characters, as bytes; "€" fills 87..89 and "©" 90..91.
const std::string order =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz.,!?*-\"&/':~@+<>()[]1234567890{}%=$\u20AC\u00A9";
const int zero_width_slots[] = {88, 89, 91};

struct Image {
  SDL_Surface* surface = nullptr;
  explicit Image(const std::string& name) {
    open_test_display();
    surface = load_image((data_dir + "/" + name).c_str());
  }
  ~Image() {
    if (surface) lib::SDL_FreeSurface(surface);
  }
  const unsigned char* pixel(int x, int y) const {
    return static_cast<const unsigned char*>(surface->pixels) + (size_t(y) * surface->w + x) * 4;
  }
};

// Glyph widths as the intro's own atlas cuts them.
std::vector<int> glyph_widths(const Image& sheet, int cell) {
  GlyphAtlas* atlas = glyph_atlas_build(sheet.surface, int16_t(cell));
  std::vector<int> widths;
  for (int i = 0; atlas != nullptr && i < atlas->count; ++i) widths.push_back(atlas->glyphs[size_t(i)]->w);
  glyph_atlas_free(atlas);
  return widths;
}

int slot_of(unsigned char byte, int fallback) {
  const size_t at = order.find(char(byte));
  return at == std::string::npos ? fallback : int(at);
}

// Mean of one colour byte over the fully opaque pixels.
double mean_opaque_byte(const Image& image, int byte) {
  double sum = 0;
  int count = 0;
  for (int y = 0; y < image.surface->h; ++y)
    for (int x = 0; x < image.surface->w; ++x)
      if (image.pixel(x, y)[3] == 255) sum += image.pixel(x, y)[byte], ++count;
  return count ? sum / count : 0;
}

void expect_every_slot_inked(const std::vector<int>& widths) {
  ASSERT_GE(widths.size(), 92u);
  for (int slot = 0; slot < 92; ++slot) {
    const bool zero_width = std::count(std::begin(zero_width_slots), std::end(zero_width_slots), slot) > 0;
    if (zero_width)
      EXPECT_EQ(widths[slot], 0) << "slot " << slot << " must add nothing";
    else
      EXPECT_GT(widths[slot], 0) << "slot " << slot << " ('" << order[slot] << "')";
  }
}

TEST(BigFont, SheetOfThirtyTwoPixelCellsWithEveryUsedSlotInked) {
  const Image sheet("data01.dt");
  ASSERT_NE(sheet.surface, nullptr);
  EXPECT_EQ(sheet.surface->w, 512);
  EXPECT_EQ(sheet.surface->h, 192);
  expect_every_slot_inked(glyph_widths(sheet, 32));
  // Stored blue first: the gold-to-crimson letters have more red (byte 2) than blue.
  EXPECT_GT(mean_opaque_byte(sheet, 2), mean_opaque_byte(sheet, 0) + 40);
}

TEST(SmallFont, SheetOfSixteenPixelCellsWithEveryUsedSlotInked) {
  const Image sheet("data02.dt");
  ASSERT_NE(sheet.surface, nullptr);
  EXPECT_EQ(sheet.surface->w, 256);
  EXPECT_EQ(sheet.surface->h, 96);
  expect_every_slot_inked(glyph_widths(sheet, 16));
}

// The credits advance a fixed 8 pixels, the panel a glyph's width + 1: for
// both to give one even rhythm, every glyph keeps most of its 8-pixel slot
// through the trim, with its ink (what is more than the faint alpha-1
// columns) centred in the slot within a pixel.
TEST(SmallFont, EveryGlyphFillsItsEightPixelSlotWithTheInkCentred) {
  const Image sheet("data02.dt");
  ASSERT_NE(sheet.surface, nullptr);
  GlyphAtlas* atlas = glyph_atlas_build(sheet.surface, 16);
  ASSERT_NE(atlas, nullptr);
  for (int slot = 0; slot < std::min<int>(atlas->count, 92); ++slot) {
    if (std::count(std::begin(zero_width_slots), std::end(zero_width_slots), slot) > 0) continue;
    const SDL_Surface* glyph = atlas->glyphs[size_t(slot)];
    const auto* pixels = static_cast<const unsigned char*>(glyph->pixels);
    int left = glyph->w, right = -1;
    for (int y = 0; y < glyph->h; ++y)
      for (int x = 0; x < glyph->w; ++x)
        if (pixels[(size_t(y) * glyph->w + x) * 4 + 3] > 1) left = std::min(left, x), right = std::max(right, x);
    EXPECT_GE(glyph->w, 6) << "'" << order[slot] << "'";
    EXPECT_LE(glyph->w, 8) << "'" << order[slot] << "'";
    EXPECT_LE(std::abs((left + right) / 2.0 - 3.5), 1.0) << "'" << order[slot] << "' inked in " << left << ".." << right;
  }
  glyph_atlas_free(atlas);
}

TEST(SmallFont, EveryPanelLineFitsItsColumn) {
  const Image sheet("data02.dt");
  ASSERT_NE(sheet.surface, nullptr);
  const std::vector<int> widths = glyph_widths(sheet, 16);
  std::vector<std::string> lines(1);
  for (const char* p = panel_text; *p; ++p) {
    if (*p == '\n' || *p == '\t') lines.emplace_back();
    else lines.back() += *p;
  }
  for (const std::string& line : lines) {
    int width = 0;
    for (const char* p = line.c_str(); *p; ++p)
      width += *p == ' ' ? 7 : widths[slot_of(static_cast<unsigned char>(*p), 91)] + 1;
    EXPECT_LE(width, 256) << '"' << line << '"';
  }
}

TEST(Logo, HeightPutsTheDividerOnRow171AndWidthLeavesRoomToSway) {
  const Image logo("data03.dt");
  ASSERT_NE(logo.surface, nullptr);
  EXPECT_EQ(logo.surface->h, 161);
  EXPECT_LE(logo.surface->w, 562);
  EXPECT_GE(logo.surface->w, 300);  // a logo, not a stamp
  // Mid-range colours leave room for the ±120 wobble either way.
  for (int byte = 0; byte < 3; ++byte) {
    EXPECT_GT(mean_opaque_byte(logo, byte), 60) << "byte " << byte;
    EXPECT_LT(mean_opaque_byte(logo, byte), 190) << "byte " << byte;
  }
}

TEST(Texture, OpaqueAndSeamlessInBothDirections) {
  const Image texture("data04.dt");
  ASSERT_NE(texture.surface, nullptr);
  ASSERT_EQ(texture.surface->w, 256);
  ASSERT_EQ(texture.surface->h, 256);
  auto difference = [&](int x0, int y0, int x1, int y1) {
    int sum = 0;
    for (int byte = 0; byte < 3; ++byte) sum += std::abs(texture.pixel(x0, y0)[byte] - texture.pixel(x1, y1)[byte]);
    return sum;
  };
  double inside = 0, seam_x = 0, seam_y = 0;
  int alpha_short = 0;
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b + 1 < 256; ++b) inside += difference(b, a, b + 1, a) + difference(a, b, a, b + 1);
    seam_x += difference(255, a, 0, a);
    seam_y += difference(a, 255, a, 0);
    for (int b = 0; b < 256; ++b) alpha_short += texture.pixel(a, b)[3] != 255;
  }
  inside /= 2 * 256 * 255;
  EXPECT_EQ(alpha_short, 0);
  EXPECT_LE(seam_x / 256, inside);
  EXPECT_LE(seam_y / 256, inside);
  // Smooth: neighbouring texels differ by a few levels, so it does not shimmer.
  EXPECT_LT(inside, 8.0);
  // Stored red first: the blue-violet texture has more blue in byte 2.
  EXPECT_GT(mean_opaque_byte(texture, 2), mean_opaque_byte(texture, 0));
}

}  // namespace
