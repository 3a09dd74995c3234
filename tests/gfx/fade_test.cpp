#include "gfx/fade.h"

#include <gtest/gtest.h>

#include <vector>

#include "gfx/frame.h"
#include "platform/entry_points.h"
#include "support/media_double.h"

namespace {

// The display at each presentation. The calls and waits of both fades, in
// order, are checked in whole runs (SceneRun).
std::vector<std::vector<uint32_t>> presented;

void present(SDL_Surface* display) { presented.emplace_back(pixels_of(display), pixels_of(display) + 640 * 480); }

uint32_t shown(size_t presentation, int x, int y) { return presented[presentation][size_t(y) * 640 + size_t(x)]; }

}  // namespace

// A 301 × 101 image sits at 320 − 150, 240 − 50. Levels run 0, 5, .., 250;
// a byte becomes trunc(s / 255 × level × a / 255): (255, 128, 0) opaque is
// (5, 2, 0) at level 5 and (250, 125, 0) at 250, with alpha 128 (125, 62, 0).
// Byte 3 stays the display's; an image wider than the display is not shown.
TEST(Fades, FadeInPresentsOnlyTheCentredImageAtEveryLevelAndKeepsTargetAlpha) {
  SDL_Surface* display = open_test_display();
  lib::SDL_UpdateRect = [](SDL_Surface* s, Sint32, Sint32, Uint32, Uint32) { present(s); };
  presented.clear();
  SDL_Surface* image = make_surface(301, 101, bytes(200, 90, 17, 0));  // transparent: black at every level
  pixel_at(image, 0, 0) = bytes(255, 128, 0, 255);
  pixel_at(image, 300, 100) = bytes(255, 128, 0, 128);
  lib::SDL_FillRect(display, nullptr, bytes(9, 9, 9, 33));
  fade_in_image(image, display);
  ASSERT_EQ(presented.size(), 51u);
  EXPECT_EQ(shown(0, 170, 190), bytes(0, 0, 0, 33));
  EXPECT_EQ(shown(1, 170, 190), bytes(5, 2, 0, 33));
  EXPECT_EQ(shown(50, 170, 190), bytes(250, 125, 0, 33));
  EXPECT_EQ(shown(50, 470, 290), bytes(125, 62, 0, 33));
  EXPECT_EQ(shown(50, 171, 190), bytes(0, 0, 0, 33));
  for (auto [x, y] : {std::pair{169, 190}, {170, 189}, {471, 290}, {470, 291}})  // just outside
    EXPECT_EQ(shown(50, x, y), bytes(9, 9, 9, 33)) << x << "," << y;
  presented.clear();
  fade_in_image(make_surface(641, 10, bytes(255, 255, 255, 255)), display);
  EXPECT_TRUE(presented.empty());
}

// 20 frames from one snapshot with a = 1.0, 0.95, .., 0.05 by repeated
// subtraction: bytes scaled by a, a², a³ and byte 3 cleared. A byte of 255
// gives the rows below; 101 gives 95, 91, 86 at a = 0.95.
TEST(Fades, FadeToBlackMakesTwentyFramesFromTheSnapshot) {
  SDL_Surface* display = open_test_display();
  lib::SDL_Flip = [](SDL_Surface* s) { return present(s), 0; };
  presented.clear();
  pixel_at(display, 0, 0) = bytes(255, 255, 255, 255);
  pixel_at(display, 639, 479) = bytes(101, 101, 101, 255);
  fade_to_black(display);
  ASSERT_EQ(presented.size(), 20u);
  for (auto [frame, full] : {std::pair{1, bytes(255, 255, 255, 0)}, {2, bytes(242, 230, 218, 0)},
                             {11, bytes(127, 63, 31, 0)}, {19, bytes(25, 2, 0, 0)}, {20, bytes(12, 0, 0, 0)}})
    EXPECT_EQ(shown(size_t(frame - 1), 0, 0), full) << "frame " << frame;
  EXPECT_EQ(shown(1, 639, 479), bytes(95, 91, 86, 0));
  EXPECT_EQ(pixel_at(display, 0, 0), bytes(12, 0, 0, 0));  // the last frame stays
}
