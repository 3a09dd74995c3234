#include "gfx/blit.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <tuple>
#include <vector>

#include "platform/entry_points.h"
#include "reference/reference.h"
#include "support/media_double.h"
#include "support/same_pixels.h"

// The worked mixes, repeated over two groups of eight and a tail so that the
// vector version meets them too: trunc(10 + 240 × 100 / 255) = 104 with
// alpha 300 mod 256 = 44; trunc(60 − 60 × 77 / 255) = 41 with alpha 86; a
// cleared pixel takes colour × 128 / 255 and the source alpha; alpha 0
// leaves, 255 replaces.
TEST(Blit, MixesByAlphaAsWorkedByHand) {
  open_test_display();
  const std::tuple<uint32_t, uint32_t, uint32_t> worked[] = {  // source, destination, the mix
      {bytes(250, 250, 250, 100), bytes(10, 10, 10, 200), bytes(104, 104, 104, 44)},
      {bytes(0, 0, 0, 77), bytes(60, 60, 60, 9), bytes(41, 41, 41, 86)},
      {bytes(200, 100, 50, 128), 0, bytes(100, 50, 25, 128)},
      {bytes(1, 2, 3, 0), bytes(9, 8, 7, 6), bytes(9, 8, 7, 6)},
      {bytes(1, 2, 3, 255), bytes(9, 8, 7, 6), bytes(1, 2, 3, 255)}};
  SDL_Surface* source = make_surface(20, 1);
  std::vector<uint32_t> row(20), expected(20);
  for (size_t i = 0; i < 20; ++i) std::tie(pixels_of(source)[i], row[i], expected[i]) = worked[i % 5];
  blit_alpha(source, FrameView{row.data(), 20, 1, 20}, 0, 0);
  EXPECT_EQ(row, expected);
}

// Random sources onto the panel's width (512), the display's (640) and
// another (their rows are found differently), for every alpha twice: each
// source mixes it with 0 and 255, so that every kind of group of eight and
// every tail occurs, and every other one has few colours, so that multiples
// of 255 in the mix (where the double formula may land just below a whole
// number) come up often. Placed anywhere from wholly off one edge to wholly
// off the other; far away, nothing is drawn, and nothing overflows.
TEST(Blit, BlitsOfEveryAlphaClippedAnywhereMatchTheReference) {
  open_test_display();
  std::mt19937 random(7);
  const int widths[] = {512, 640, 37}, height = 50;
  for (int trial = 0; trial < 512; ++trial) {
    const int a = trial % 256, width = widths[trial % 3];
    const int sw = 1 + int(random() % 80), sh = 1 + int(random() % 60);
    SDL_Surface* src = make_surface(sw, sh);
    for (int i = 0; i < sw * sh; ++i) {
      const uint32_t choice = random() % 4, alpha = choice == 0 ? 0 : choice == 1 ? 255 : uint32_t(a);
      pixels_of(src)[i] = (trial % 2 ? (random() % 4) * 0x555555u : random() & 0xffffffu) | alpha << 24;
    }
    const int x = int(random() % uint32_t(width + 2 * sw)) - sw, y = int(random() % uint32_t(height + 2 * sh)) - sh;
    EXPECT_TRUE(same_pixels(noise(size_t(width) * height, uint32_t(trial)), width,
                            [&](const FrameView& f) { blit_alpha(src, f, x, y); },
                            [&](uint32_t* p) { reference::blit(src, p, width, height, x, y); }))
        << "alpha " << a << ", width " << width << ", " << sw << " × " << sh << " at " << x << "," << y;
    lib::SDL_FreeSurface(src);
  }
  SDL_Surface* src = make_surface(5, 5, bytes(1, 2, 3, 255));
  EXPECT_TRUE(same_pixels(noise(64, 1), 8, [&](const FrameView& f) { blit_alpha(src, f, INT32_MAX, INT32_MIN); },
                          [](uint32_t*) {}));
}
