// Rasterises glyphs of an outline font (TrueType) with FreeType into coverage
// masks. Rendering is anti-aliased; the result depends only on the font file,
// the FreeType version and the arguments, so generated assets are repeatable.
#pragma once

#include <string>

#include "raster.h"

struct GlyphImage {
  Mask coverage;      // empty (0 × 0) for a glyph without ink, such as space
  int left = 0;       // pen origin to the mask's left column
  int top = 0;        // baseline to the mask's top row (upwards positive)
  double advance = 0;  // pen advance in pixels
};

class OutlineFont {
 public:
  // Opens the font file; exits the program with a message when it cannot.
  explicit OutlineFont(const std::string& path);
  ~OutlineFont();
  OutlineFont(const OutlineFont&) = delete;
  OutlineFont& operator=(const OutlineFont&) = delete;

  // The glyph of `code_point` at an em size of `pixel_size`, stretched
  // horizontally by `x_scale` and slanted by `shear` (x += shear × height).
  // `hinted` fits stems and edges to the pixel grid, across as well as down,
  // with the font's own instructions, which keeps small letters crisp; a
  // hinted glyph is narrowed through its horizontal size, so that the
  // instructions fit the narrowed grid, an unhinted one through the matrix.
  GlyphImage render(char32_t code_point, double pixel_size, double x_scale = 1.0, double shear = 0.0,
                    bool hinted = true) const;

 private:
  struct Library;
  Library* library_;
};
