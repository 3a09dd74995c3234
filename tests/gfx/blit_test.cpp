#include "gfx/blit.h"

#include <gtest/gtest.h>

#include <vector>
#include <random>

#include "gfx/frame.h"
#include "reference/reference.h"
#include "support/media_double.h"

namespace {

using reference::mix;

class Blit : public ::testing::Test {
 protected:
  SDL_Surface* display = open_test_display();
};

TEST_F(Blit, MixesByAlphaAsTheWorkedExamplesSay) {
  EXPECT_EQ(mix_pixel(bytes(250, 250, 250, 100), bytes(10, 10, 10, 200)), bytes(104, 104, 104, 44));
  EXPECT_EQ(mix_pixel(bytes(0, 0, 0, 77), bytes(60, 60, 60, 9)), bytes(41, 41, 41, 86));
  EXPECT_EQ(mix_pixel(bytes(200, 100, 50, 128), 0), bytes(100, 50, 25, 128));
}

TEST_F(Blit, ClipsAtEveryEdge) {
  SDL_Surface* src = make_surface(5, 3, bytes(1, 2, 3, 255));
  pixel_at(src, 4, 2) = bytes(9, 9, 9, 255);
  SDL_Surface* dst = make_surface(20, 10);
  const uint32_t before = pixel_at(dst, 0, 0);
  blit_alpha(src, frame_of(dst), -5, 0);  // wholly off the left
  blit_alpha(src, frame_of(dst), 20, 0);  // wholly off the right
  blit_alpha(src, frame_of(dst), 0, -3);
  blit_alpha(src, frame_of(dst), 0, 10);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) ASSERT_EQ(pixel_at(dst, x, y), before);
  blit_alpha(src, frame_of(dst), -4, -2);  // only the last column of the last row
  EXPECT_EQ(pixel_at(dst, 0, 0), bytes(9, 9, 9, 255));
  EXPECT_EQ(pixel_at(dst, 1, 0), before);
  EXPECT_EQ(pixel_at(dst, 0, 1), before);
  blit_alpha(src, frame_of(dst), 19, 9);  // only the first pixel, into the last corner
  EXPECT_EQ(pixel_at(dst, 19, 9), bytes(1, 2, 3, 255));
  blit_alpha(src, frame_of(dst), INT32_MAX, INT32_MIN);  // far away: nothing, no overflow
  SDL_FreeSurface(src);
  SDL_FreeSurface(dst);
}

// Every alpha in long rows, which the vector version takes eight pixels at a
// time: random colours over random destinations, each row with its own mix
// of transparent, opaque and partly transparent neighbours, so every kind
// of group and every tail length occurs. Multiples of 255 in the mix (where
// the double formula may land just below a whole number) come up often.
TEST_F(Blit, EveryAlphaInLongRowsAgreesWithTheReference) {
  std::mt19937 random(3);
  constexpr int width = 1021;
  SDL_Surface* src = make_surface(width, 2);
  SDL_Surface* dst = make_surface(width, 2);
  auto* source = static_cast<uint32_t*>(src->pixels);
  auto* destination = static_cast<uint32_t*>(dst->pixels);
  std::vector<uint32_t> before(size_t(width) * 2);
  for (int a = 0; a < 256; ++a)
    for (int trial = 0; trial < 8; ++trial) {
      for (int i = 0; i < width * 2; ++i) {
        const uint32_t choice = random() % 8;  // mostly this alpha, some 0 and 255 around it
        const uint32_t alpha = choice == 0 ? 0 : choice == 1 ? 255 : uint32_t(a);
        source[i] = (random() & 0xffffffu) | alpha << 24;
        if (trial % 2) source[i] = (source[i] & 0xff000000u) | (random() % 4) * 0x555555u;  // few colours: equal bytes
        before[size_t(i)] = destination[i] = trial % 4 == 3 ? source[i] ^ 0x01000000u : uint32_t(random());
      }
      blit_alpha(src, frame_of(dst), 0, 0);
      for (int i = 0; i < width * 2; ++i)
        ASSERT_EQ(destination[i], mix(source[i], before[size_t(i)])) << "alpha " << a << " pixel " << i;
    }
  SDL_FreeSurface(src);
  SDL_FreeSurface(dst);
}

// Random sources, positions and alphas onto the panel width (512), the
// display width (640) and other widths: the shift-based row offsets of the two
// widths in use must agree with the general case.
TEST_F(Blit, RandomBlitsAgreeWithTheReference) {
  std::mt19937 random(7);
  for (int width : {512, 640, 37, 300}) {
    for (int trial = 0; trial < 40; ++trial) {
      const int sw = 1 + int(random() % 80), sh = 1 + int(random() % 60);
      SDL_Surface* src = make_surface(sw, sh);
      for (int i = 0; i < sw * sh; ++i) {
        const uint32_t alpha_choice = random() % 4;  // plenty of 0 and 255
        const uint32_t alpha = alpha_choice == 0 ? 0 : alpha_choice == 1 ? 255 : random() & 255;
        static_cast<uint32_t*>(src->pixels)[i] = (random() & 0xffffffu) | alpha << 24;
      }
      SDL_Surface* fast = make_surface(width, 50);
      SDL_Surface* slow = make_surface(width, 50);
      for (int i = 0; i < width * 50; ++i)
        static_cast<uint32_t*>(fast->pixels)[i] = static_cast<uint32_t*>(slow->pixels)[i] = random();
      const int x = int(random() % uint32_t(width + 2 * sw)) - sw, y = int(random() % 120) - 60;
      blit_alpha(src, frame_of(fast), x, y);
      reference::blit(src, slow, x, y);
      for (int i = 0; i < width * 50; ++i)
        ASSERT_EQ(static_cast<uint32_t*>(fast->pixels)[i], static_cast<uint32_t*>(slow->pixels)[i])
            << "width " << width << " at " << x << "," << y;
      SDL_FreeSurface(src);
      SDL_FreeSurface(fast);
      SDL_FreeSurface(slow);
    }
  }
}

// The darkening against the reference over random rectangles, whose rows
// end at every offset within a group of eight.
TEST_F(Blit, DarkeningAgreesWithTheReferenceOverAnyRectangle) {
  std::mt19937 random(11);
  std::vector<uint32_t> expected(640 * 480);
  for (int trial = 0; trial < 60; ++trial) {
    uint32_t* pixels = pixels_of(display);
    for (size_t i = 0; i < expected.size(); ++i) expected[i] = pixels[i] = random();
    const int x0 = int(random() % 640), y0 = int(random() % 480);
    const int x1 = x0 + int(random() % uint32_t(641 - x0)), y1 = y0 + int(random() % uint32_t(481 - y0));
    darken_rect(frame_of(display), x0, y0, x1, y1);
    reference::darken_rect(expected.data(), x0, y0, x1, y1);
    for (size_t i = 0; i < expected.size(); ++i)
      ASSERT_EQ(pixels[i], expected[i]) << x0 << "," << y0 << " to " << x1 << "," << y1 << " at " << i;
  }
}

TEST_F(Blit, DarkenHalvesBlueAndQuartersGreenAndRed) {
  uint32_t* pixels = pixels_of(display);
  pixels[0] = bytes(255, 255, 255, 77);
  pixels[1] = bytes(1, 3, 4, 0);
  pixels[640] = bytes(255, 255, 255, 77);
  pixels[2] = bytes(200, 200, 200, 200);
  darken_rect(frame_of(display), 0, 0, 2, 2);
  EXPECT_EQ(pixels[0], bytes(127, 63, 63, 77));
  EXPECT_EQ(pixels[1], bytes(0, 0, 1, 0));
  EXPECT_EQ(pixels[2], bytes(200, 200, 200, 200));  // column 2 is outside
  darken_rect(frame_of(display), 0, 1, 1, 2);
  EXPECT_EQ(pixels[640], bytes(63, 15, 15, 77));
  darken_rect(frame_of(display), 5, 5, 5, 9);  // empty
  darken_rect(frame_of(display), 5, 5, 3, 9);
  EXPECT_EQ(pixels[5 * 640 + 4], 0u);
}

}  // namespace
