#include "outline_font.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_DRIVER_H
#include FT_MODULE_H

#include <cmath>
#include <cstdio>
#include <cstdlib>

struct OutlineFont::Library {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
};

OutlineFont::OutlineFont(const std::string& path) : library_(new Library) {
  if (FT_Init_FreeType(&library_->library) != 0 ||
      FT_New_Face(library_->library, path.c_str(), 0, &library_->face) != 0) {
    std::fprintf(stderr, "Cannot open font %s\n", path.c_str());
    std::exit(1);
  }
  // The classic TrueType interpreter applies a font's horizontal instructions
  // too; the newer default skips them and leaves small stems blurred over two
  // columns.
  FT_UInt classic = TT_INTERPRETER_VERSION_35;
  FT_Property_Set(library_->library, "truetype", "interpreter-version", &classic);
}

OutlineFont::~OutlineFont() {
  FT_Done_Face(library_->face);
  FT_Done_FreeType(library_->library);
  delete library_;
}

GlyphImage OutlineFont::render(char32_t code_point, double pixel_size, double x_scale, double shear,
                               bool hinted) const {
  FT_Face face = library_->face;
  // 26.6 fixed point for the size, 16.16 for the matrix.
  const double size_scale = hinted ? x_scale : 1.0, matrix_scale = hinted ? 1.0 : x_scale;
  FT_Set_Char_Size(face, FT_F26Dot6(std::lround(pixel_size * size_scale * 64)),
                   FT_F26Dot6(std::lround(pixel_size * 64)), 72, 72);
  FT_Matrix matrix{FT_Fixed(std::lround(matrix_scale * 65536)), FT_Fixed(std::lround(shear * 65536)), 0, 0x10000};
  FT_Set_Transform(face, &matrix, nullptr);

  const FT_Int32 flags = hinted ? FT_LOAD_TARGET_NORMAL : FT_LOAD_NO_HINTING;
  GlyphImage image;
  if (FT_Load_Char(face, FT_ULong(code_point), flags) != 0 ||
      FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0) {
    std::fprintf(stderr, "Cannot render U+%04X\n", unsigned(code_point));
    std::exit(1);
  }
  const FT_GlyphSlot slot = face->glyph;
  const FT_Bitmap& bitmap = slot->bitmap;
  image.left = slot->bitmap_left;
  image.top = slot->bitmap_top;
  image.advance = slot->advance.x / 64.0;
  image.coverage = Mask(int(bitmap.width), int(bitmap.rows));
  for (int y = 0; y < int(bitmap.rows); ++y)
    for (int x = 0; x < int(bitmap.width); ++x)
      image.coverage.at(x, y) = bitmap.buffer[y * bitmap.pitch + x] / 255.0;
  return image;
}
