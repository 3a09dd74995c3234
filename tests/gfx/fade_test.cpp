#include "gfx/fade.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "gfx/frame.h"
#include "platform/entry_points.h"
#include "support/media_double.h"

namespace {

std::vector<std::string> calls;
std::vector<std::vector<uint32_t>> presented;  // the display at each presentation

void present(const std::string& call, SDL_Surface* display) {
  calls.push_back(call);
  presented.emplace_back(pixels_of(display), pixels_of(display) + 640 * 480);
}

SDL_Surface* open_recording_display() {
  SDL_Surface* display = open_test_display();
  lib::SDL_UpdateRect = [](SDL_Surface* s, Sint32 x, Sint32 y, Uint32 w, Uint32 h) {
    present("UpdateRect " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(w) + " " + std::to_string(h), s);
  };
  lib::SDL_Flip = [](SDL_Surface* s) { return present("Flip", s), 0; };
  lib::SDL_Delay = [](Uint32 ms) { calls.push_back("Delay " + std::to_string(ms)); };
  calls.clear();
  presented.clear();
  return display;
}

std::vector<std::string> repeated(const std::vector<std::string>& pair, int times) {
  std::vector<std::string> all;
  while (times-- > 0) all.insert(all.end(), pair.begin(), pair.end());
  return all;
}

uint32_t shown(size_t presentation, int x, int y) { return presented[presentation][size_t(y) * 640 + size_t(x)]; }

}  // namespace

// A 301 × 101 image sits at 320 − 150, 240 − 50. Levels run 0, 5, .., 250;
// a byte becomes trunc(s / 255 × level × a / 255): (255, 128, 0) opaque is
// (5, 2, 0) at level 5 and (250, 125, 0) at 250, with alpha 128 (125, 62, 0).
// Byte 3 stays the display's; an image wider than the display is not shown.
TEST(Fades, FadeInPresentsOnlyTheCentredImageAtEveryLevelAndKeepsTargetAlpha) {
  SDL_Surface* display = open_recording_display();
  SDL_Surface* image = make_surface(301, 101, bytes(200, 90, 17, 0));  // transparent: black at every level
  pixel_at(image, 0, 0) = bytes(255, 128, 0, 255);
  pixel_at(image, 300, 100) = bytes(255, 128, 0, 128);
  std::fill(pixels_of(display), pixels_of(display) + 640 * 480, bytes(9, 9, 9, 33));
  fade_in_image(image, display);
  EXPECT_EQ(calls, repeated({"UpdateRect 170 190 301 101", "Delay 5"}, 51));
  ASSERT_EQ(presented.size(), 51u);
  EXPECT_EQ(shown(0, 170, 190), bytes(0, 0, 0, 33));
  EXPECT_EQ(shown(1, 170, 190), bytes(5, 2, 0, 33));
  EXPECT_EQ(shown(50, 170, 190), bytes(250, 125, 0, 33));
  EXPECT_EQ(shown(50, 470, 290), bytes(125, 62, 0, 33));
  EXPECT_EQ(shown(50, 171, 190), bytes(0, 0, 0, 33));
  for (auto [x, y] : {std::pair{169, 190}, {170, 189}, {471, 290}, {470, 291}})  // just outside
    EXPECT_EQ(shown(50, x, y), bytes(9, 9, 9, 33)) << x << "," << y;
  calls.clear();
  fade_in_image(make_surface(641, 10, bytes(255, 255, 255, 255)), display);
  EXPECT_TRUE(calls.empty());
}

// 20 frames from one snapshot with a = 1.0, 0.95, .., 0.05 by repeated
// subtraction: bytes scaled by a, a², a³ and byte 3 cleared. A byte of 255
// gives the rows below; 101 gives 95, 91, 86 at a = 0.95.
TEST(Fades, FadeToBlackMakesTwentyFramesFromTheSnapshot) {
  SDL_Surface* display = open_recording_display();
  pixel_at(display, 0, 0) = bytes(255, 255, 255, 255);
  pixel_at(display, 639, 479) = bytes(101, 101, 101, 255);
  fade_to_black(display);
  EXPECT_EQ(calls, repeated({"Delay 1", "Flip"}, 20));
  ASSERT_EQ(presented.size(), 20u);
  for (auto [frame, full] : {std::pair{1, bytes(255, 255, 255, 0)}, {2, bytes(242, 230, 218, 0)},
                             {11, bytes(127, 63, 31, 0)}, {19, bytes(25, 2, 0, 0)}, {20, bytes(12, 0, 0, 0)}})
    EXPECT_EQ(shown(size_t(frame - 1), 0, 0), full) << "frame " << frame;
  EXPECT_EQ(shown(1, 639, 479), bytes(95, 91, 86, 0));
  EXPECT_EQ(pixel_at(display, 0, 0), bytes(12, 0, 0, 0));  // the last frame stays
}
