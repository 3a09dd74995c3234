// Small raster toolkit shared by the image generators: coverage masks (one
// double per pixel, 0 empty to 1 covered), straight-alpha colour canvases,
// and the writer of the intro's raw .dt image files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Mask {
  int width = 0, height = 0;
  std::vector<double> values;

  Mask() = default;
  Mask(int w, int h) : width(w), height(h), values(size_t(w) * size_t(h), 0.0) {}
  double& at(int x, int y) { return values[size_t(y) * size_t(width) + size_t(x)]; }
  double at(int x, int y) const { return values[size_t(y) * size_t(width) + size_t(x)]; }
  // Outside the mask everything is empty.
  double get(int x, int y) const {
    return x < 0 || y < 0 || x >= width || y >= height ? 0.0 : at(x, y);
  }
};

struct Rgba {
  double r = 0, g = 0, b = 0, a = 0;  // colour in 0..255, alpha in 0..1
};

struct Canvas {
  int width = 0, height = 0;
  std::vector<Rgba> pixels;

  Canvas(int w, int h) : width(w), height(h), pixels(size_t(w) * size_t(h)) {}
  Rgba& at(int x, int y) { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
  const Rgba& at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

// Grows a mask by `radius` pixels with an anti-aliased round pen.
Mask dilate(const Mask& mask, double radius);

// Box blur of the given radius, applied `passes` times (three passes come
// close to a Gaussian).
Mask blur(const Mask& mask, int radius, int passes);

// Paints `colour` through `mask` (placed at dx, dy) under what is already on
// the canvas: the canvas stays on top, the new layer shows where it is thin.
void paint_under(Canvas& canvas, const Mask& mask, int dx, int dy, const Rgba& colour);

// Straight-alpha "over": `top` composited over `bottom`.
Rgba over(const Rgba& top, const Rgba& bottom);

// Rounds a channel value to a byte, clamped to 0..255.
uint8_t to_byte(double value);

// Which colour byte comes first in a file pixel.
enum class ByteOrder { red_first, blue_first };

// The pixels as 4-byte groups in the given order, alpha last.
std::vector<uint8_t> pixel_bytes(const Canvas& canvas, ByteOrder order);

// Writes a .dt image: 16-bit little-endian width, height and depth (32), then
// the pixel bytes. Returns false when the file cannot be written.
bool write_dt(const std::string& path, int width, int height, const std::vector<uint8_t>& bytes);

// Writes bytes to a file; false when it cannot be written.
bool write_file(const std::string& path, const std::vector<uint8_t>& bytes);
