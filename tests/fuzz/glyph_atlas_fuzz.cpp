// Arbitrary font sheets and cell sizes: the atlas must cut only whole cells,
// never read beyond the sheet or write beyond a glyph, and release everything.
//
// Input: bytes 0-1 sheet width and 2-3 sheet height (little-endian, each
// taken modulo 65), bytes 4-5 the cell size as a signed 16-bit value (zero,
// negative and larger than the sheet included); the rest are the sheet's
// pixel bytes, repeated to fill it (zero when there are none).
#include <cstdint>
#include <cstdlib>

#include "gfx/atlas.h"
#include "platform/entry_points.h"
#include "support/media_double.h"

namespace {

// The recording library finds a surface to free by searching all it holds,
// so thousands of glyphs cost seconds: sheets stay within 64 × 64 (the
// unit tests cover the atlas's 16-bit limit).
constexpr int largest_side = 64;

// The recording library's surfaces, counted, so that a glyph left behind is
// caught at once (the library itself still holds it, out of the leak
// checker's sight).
long live_surfaces;

int little_endian_u16(const uint8_t* bytes) { return bytes[0] | bytes[1] << 8; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 6) return 0;
  [[maybe_unused]] static const bool bound =
      (open_test_display(),
       lib::SDL_CreateRGBSurface = [](Uint32 flags, int w, int h, int depth, Uint32 r, Uint32 g, Uint32 b, Uint32 a) {
         return ++live_surfaces, ::SDL_CreateRGBSurface(flags, w, h, depth, r, g, b, a);
       },
       lib::SDL_FreeSurface = [](SDL_Surface* s) { --live_surfaces, ::SDL_FreeSurface(s); }, true);
  SDL_Surface* sheet =
      make_surface(little_endian_u16(data) % (largest_side + 1), little_endian_u16(data + 2) % (largest_side + 1));
  auto* sheet_bytes = static_cast<uint8_t*>(sheet->pixels);
  for (size_t i = 0; size > 6 && i < size_t(sheet->w) * size_t(sheet->h) * 4; ++i) sheet_bytes[i] = data[6 + i % (size - 6)];
  const auto cell = int16_t(little_endian_u16(data + 4));
  const long whole_cells = cell > 0 ? long(sheet->w / cell) * long(sheet->h / cell) : 0;
  GlyphAtlas* atlas = glyph_atlas_build(sheet, cell);
  lib::SDL_FreeSurface(sheet);  // the atlas must not refer to the sheet once it is built

  // An atlas exactly when there are whole cells, one glyph per cell, each a
  // cell high and narrower than one. (The glyphs are the library's surfaces,
  // made at the size they claim; the address checker watches the copy into
  // them.)
  if ((atlas == nullptr) != (whole_cells == 0)) std::abort();
  if (atlas != nullptr && (atlas->count != whole_cells || long(atlas->glyphs.size()) != whole_cells)) std::abort();
  for (size_t i = 0; atlas != nullptr && i < atlas->glyphs.size(); ++i)
    if (atlas->glyphs[i]->h != cell || atlas->glyphs[i]->w < 0 || atlas->glyphs[i]->w >= cell) std::abort();
  glyph_atlas_free(atlas);
  if (live_surfaces != 0) std::abort();
  return 0;
}
