#include "gfx/fade.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "gfx/frame.h"
#include "platform/entry_points.h"
#include "reference/reference.h"
#include "support/call_log.h"
#include "support/media_double.h"

namespace {

CallLog calls;
std::vector<std::vector<uint32_t>> presented;  // the display at each presentation

void keep_display(const SDL_Surface* display) {
  const uint32_t* pixels = pixels_of(display);
  presented.emplace_back(pixels, pixels + size_t(display_width) * display_height);
}

void record_update_rect(SDL_Surface* target, Sint32 x, Sint32 y, Uint32 w, Uint32 h) {
  calls.add("SDL_UpdateRect " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(w) + " " +
            std::to_string(h));
  keep_display(target);
}
int record_flip(SDL_Surface* display) {
  calls.add("SDL_Flip");
  keep_display(display);
  return 0;
}
void record_delay(Uint32 ms) { calls.add("SDL_Delay " + std::to_string(ms)); }

class Fades : public ::testing::Test {
 protected:
  void SetUp() override {
    display = open_test_display();
    lib::SDL_UpdateRect = record_update_rect;
    lib::SDL_Flip = record_flip;
    lib::SDL_Delay = record_delay;
    calls.clear();
    presented.clear();
  }
  void TearDown() override { presented.clear(); }
  SDL_Surface* display = nullptr;
};

TEST_F(Fades, FadeInPresentsTheCentredRectangleAtEveryLevelByTheFormulaAndKeepsTargetAlpha) {
  // Pixels with assorted colours and alphas, including the worked examples.
  const std::vector<uint32_t> samples = {bytes(255, 128, 0, 255), bytes(255, 128, 0, 128), bytes(200, 90, 17, 0),
                                         bytes(255, 255, 255, 1), bytes(3, 77, 254, 254), bytes(0, 0, 0, 77)};
  SDL_Surface* image = make_surface(int(samples.size()), 2);
  for (size_t i = 0; i < samples.size(); ++i) {
    pixel_at(image, int(i), 0) = samples[i];
    pixel_at(image, int(i), 1) = samples[samples.size() - 1 - i];
  }
  // The target holds a pattern, so that kept alpha and untouched pixels show.
  for (int y = 0; y < display_height; ++y)
    for (int x = 0; x < display_width; ++x) pixel_at(display, x, y) = bytes(9, 9, 9, uint32_t(x + y) & 0xff);
  const std::vector<uint32_t> before(pixels_of(display), pixels_of(display) + 640 * 480);

  fade_in_image(image, display);
  std::vector<std::string> expected_calls;  // only the centred rectangle, 51 times, 5 ms apart
  for (int step = 0; step < 51; ++step) expected_calls.insert(expected_calls.end(), {"SDL_UpdateRect 317 239 6 2", "SDL_Delay 5"});
  EXPECT_EQ(calls.calls(), expected_calls);
  ASSERT_EQ(presented.size(), 51u);
  const int left = 320 - 3, top = 240 - 1;
  for (int step = 0; step < 51; ++step) {
    const std::vector<uint32_t>& frame = presented[size_t(step)];
    for (int y = 0; y < display_height; ++y)
      for (int x = 0; x < display_width; ++x) {
        const size_t index = size_t(y) * 640 + size_t(x);
        const bool inside = x >= left && x < left + image->w && y >= top && y < top + image->h;
        const uint32_t expected =
            inside ? reference::fade_in_pixel(pixel_at(image, x - left, y - top), step * 5, before[index] >> 24)
                   : before[index];
        ASSERT_EQ(frame[index], expected) << "level " << step * 5 << " at " << x << "," << y;
      }
  }
  // The worked examples: (255, 128, 0) opaque at levels 0, 5 and 250.
  const size_t first = size_t(top) * 640 + size_t(left);
  EXPECT_EQ(presented[0][first] & 0xffffff, bytes(0, 0, 0, 0));
  EXPECT_EQ(presented[1][first] & 0xffffff, bytes(5, 2, 0, 0));
  EXPECT_EQ(presented[50][first] & 0xffffff, bytes(250, 125, 0, 0));
  EXPECT_EQ(presented[50][first + 1] & 0xff, 125u);  // alpha 128 at level 250
  lib::SDL_FreeSurface(image);
}

TEST_F(Fades, FadeInRefusesAnImageLargerThanTheTarget) {
  SDL_Surface* image = make_surface(641, 10, bytes(255, 255, 255, 255));
  fade_in_image(image, display);
  EXPECT_TRUE(calls.calls().empty());
  EXPECT_EQ(pixel_at(display, 0, 235), 0u);
  lib::SDL_FreeSurface(image);
}

TEST_F(Fades, FadeToBlackMakesExactly20FramesFromTheSnapshot) {
  // Every value of every byte appears, so the whole table is checked.
  for (int y = 0; y < display_height; ++y)
    for (int x = 0; x < display_width; ++x)
      pixel_at(display, x, y) = bytes(uint32_t(x) & 0xff, uint32_t(y) & 0xff, uint32_t(x + 3 * y) & 0xff, 200);
  const std::vector<uint32_t> snapshot(pixels_of(display), pixels_of(display) + 640 * 480);

  fade_to_black(display);
  std::vector<std::string> expected;
  for (int frame = 0; frame < 20; ++frame) {
    expected.push_back("SDL_Delay 1");
    expected.push_back("SDL_Flip");
  }
  EXPECT_EQ(calls.calls(), expected);
  ASSERT_EQ(presented.size(), 20u);

  double a = 1.0;
  for (int frame = 0; frame < 20; ++frame, a -= 0.05) {
    for (size_t i = 0; i < snapshot.size(); ++i) {
      ASSERT_EQ(presented[size_t(frame)][i], reference::fade_to_black_pixel(snapshot[i], a))
          << "frame " << frame + 1 << " pixel " << i;
    }
  }
  EXPECT_LT(a, 0.0);  // the 20th subtraction ended the loop
}

TEST_F(Fades, FadeToBlackFollowsTheTableRowsForFullBytes) {
  pixel_at(display, 0, 0) = bytes(255, 255, 255, 255);
  pixel_at(display, 639, 479) = bytes(101, 101, 101, 255);
  fade_to_black(display);
  auto at = [](int frame, size_t index) { return presented[size_t(frame - 1)][index]; };
  EXPECT_EQ(at(1, 0), bytes(255, 255, 255, 0));
  EXPECT_EQ(at(2, 0), bytes(242, 230, 218, 0));
  EXPECT_EQ(at(11, 0), bytes(127, 63, 31, 0));
  EXPECT_EQ(at(19, 0), bytes(25, 2, 0, 0));
  EXPECT_EQ(at(20, 0), bytes(12, 0, 0, 0));
  EXPECT_EQ(at(2, 640 * 480 - 1), bytes(95, 91, 86, 0));
  EXPECT_EQ(pixel_at(display, 0, 0), bytes(12, 0, 0, 0));  // the last frame stays
}

}  // namespace
