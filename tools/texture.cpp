// Generates the background texture: 256 × 256, seamless in both directions.
// A grid of 2 × 2 bevelled tiles, lit from the top left, over a slow plasma
// of deep blues and violets. Every wave has a whole number of periods across
// the image, so the texture repeats without a seam; nothing is finer than
// about four texels, so it does not shimmer when the view zooms out to half
// size, and it stays dark enough for light text over it.
//
//   texture OUT.dt        (red first, alpha 255)
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "raster.h"

namespace {

constexpr int size = 256;
constexpr int tile = 128;
constexpr double two_pi = 6.283185307179586;

// Slow plasma in 0..1: a handful of waves with 1 to 3 periods per image.
double plasma(int x, int y) {
  const double u = two_pi * x / size, v = two_pi * y / size;
  const double sum = std::sin(u + 0.4) + std::sin(2 * v + 1.3) + std::sin(u + v + 2.1) +
                     0.6 * std::sin(3 * u - 2 * v + 0.7);
  return (sum / 3.6 + 1.0) * 0.5;
}

// Bevel of a tile: the distance to the tile's edges decides where the rim
// and the groove lie; the side of the tile the pixel is near decides the light.
double tile_light(int x, int y) {
  const double tx = (x % tile) + 0.5, ty = (y % tile) + 0.5;
  const double to_left = tx, to_right = tile - tx, to_top = ty, to_bottom = tile - ty;
  const double nearest = std::min({to_left, to_right, to_top, to_bottom});
  constexpr double groove = 3.0, bevel = 12.0;
  if (nearest < groove) return 0.68 + 0.08 * (nearest / groove);  // dark joint, 6 texels wide
  if (nearest >= groove + bevel) return 1.0;
  // On the bevel: facing up or left is lit, down or right is shaded; the ramp
  // eases in and out so the edges stay soft.
  const double ease = std::sin((nearest - groove) / bevel * two_pi / 4);
  double facing = 0;
  if (nearest == to_top || nearest == to_left) facing = 0.3;
  if (nearest == to_bottom || nearest == to_right) facing = -0.22;
  return 1.0 + facing * (1.0 - ease);
}

Rgba colour_at(int x, int y) {
  const double p = plasma(x, y);
  // Deep blue through violet to teal.
  const double r = 34 + 60 * std::pow(p, 1.6);
  const double g = 30 + 52 * (1.0 - p) * p * 2 + 18 * p;
  const double b = 78 + 70 * p;
  const double light = tile_light(x, y);
  return Rgba{r * light, g * light, b * light, 1.0};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: texture OUT.dt\n");
    return 2;
  }
  Canvas canvas(size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) canvas.at(x, y) = colour_at(x, y);
  if (!write_dt(argv[1], size, size, pixel_bytes(canvas, ByteOrder::red_first))) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
