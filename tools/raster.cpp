#include "raster.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

Mask dilate(const Mask& mask, double radius) {
  const int reach = int(std::ceil(radius)) + 1;
  Mask grown(mask.width, mask.height);
  for (int y = 0; y < mask.height; ++y) {
    for (int x = 0; x < mask.width; ++x) {
      double best = 0.0;
      for (int dy = -reach; dy <= reach; ++dy) {
        for (int dx = -reach; dx <= reach; ++dx) {
          const double source = mask.get(x + dx, y + dy);
          if (source <= best) continue;
          // The pen's edge is half a pixel wide, which keeps the rim smooth.
          const double pen = std::clamp(radius + 0.5 - std::hypot(dx, dy), 0.0, 1.0);
          best = std::max(best, source * pen);
        }
      }
      grown.at(x, y) = best;
    }
  }
  return grown;
}

namespace {

Mask box_blur_pass(const Mask& mask, int radius, bool horizontal) {
  Mask out(mask.width, mask.height);
  const double weight = 1.0 / (2 * radius + 1);
  for (int y = 0; y < mask.height; ++y) {
    for (int x = 0; x < mask.width; ++x) {
      double sum = 0.0;
      for (int k = -radius; k <= radius; ++k)
        sum += horizontal ? mask.get(x + k, y) : mask.get(x, y + k);
      out.at(x, y) = sum * weight;
    }
  }
  return out;
}

}  // namespace

Mask blur(const Mask& mask, int radius, int passes) {
  Mask result = mask;
  for (int i = 0; i < passes; ++i) {
    result = box_blur_pass(result, radius, true);
    result = box_blur_pass(result, radius, false);
  }
  return result;
}

Rgba over(const Rgba& top, const Rgba& bottom) {
  const double alpha = top.a + bottom.a * (1.0 - top.a);
  if (alpha <= 0.0) return Rgba{};
  const double below = bottom.a * (1.0 - top.a);
  return Rgba{(top.r * top.a + bottom.r * below) / alpha, (top.g * top.a + bottom.g * below) / alpha,
              (top.b * top.a + bottom.b * below) / alpha, alpha};
}

void paint_under(Canvas& canvas, const Mask& mask, int dx, int dy, const Rgba& colour) {
  for (int y = 0; y < canvas.height; ++y) {
    for (int x = 0; x < canvas.width; ++x) {
      const double coverage = mask.get(x - dx, y - dy);
      if (coverage <= 0.0) continue;
      Rgba layer = colour;
      layer.a *= coverage;
      canvas.at(x, y) = over(canvas.at(x, y), layer);
    }
  }
}

uint8_t to_byte(double value) { return uint8_t(std::lround(std::clamp(value, 0.0, 255.0))); }

std::vector<uint8_t> pixel_bytes(const Canvas& canvas, ByteOrder order) {
  std::vector<uint8_t> bytes;
  bytes.reserve(canvas.pixels.size() * 4);
  for (const Rgba& p : canvas.pixels) {
    const uint8_t alpha = to_byte(p.a * 255.0);
    // A fully transparent pixel carries no colour: keep the file tidy.
    const Rgba c = alpha == 0 ? Rgba{} : p;
    const double first = order == ByteOrder::red_first ? c.r : c.b;
    const double third = order == ByteOrder::red_first ? c.b : c.r;
    bytes.insert(bytes.end(), {to_byte(first), to_byte(c.g), to_byte(third), alpha});
  }
  return bytes;
}

bool write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!file) return false;
  return std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
}

bool write_dt(const std::string& path, int width, int height, const std::vector<uint8_t>& bytes) {
  std::vector<uint8_t> file = {uint8_t(width & 0xff), uint8_t(width >> 8), uint8_t(height & 0xff),
                               uint8_t(height >> 8), 32, 0};
  file.insert(file.end(), bytes.begin(), bytes.end());
  return write_file(path, file);
}
