#include "gfx/image.h"

#include <gtest/gtest.h>

#include "gfx/frame.h"
#include "support/asset_files.h"
#include "support/media_double.h"

// A 3 × 2 image, its words stored byte 0 first, with three bytes past the
// last pixel, which are ignored; a 0 × 7 image is whole. (Every kind of file
// the loader refuses, one byte short included, is run end to end, named in
// the intro's message, by BadFiles.)
TEST(LoadImage, CopiesPixelsByteForByte) {
  open_test_display();
  ScratchDirectory scratch;
  const std::vector<uint32_t> words = {0x801e1400, 0x801e1401, 0x801e1402, 0x801e1403, 0x801e1404, 0x801e1405};
  Bytes file = image_bytes(3, 2, words);
  file.insert(file.end(), {1, 2, 3});
  write_file("data/image.dt", file);
  SDL_Surface* image = load_image("data/image.dt");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(std::pair(image->w, image->h), std::pair(3, 2));
  EXPECT_EQ(std::vector<uint32_t>(pixels_of(image), pixels_of(image) + 6), words);
  write_file("data/image.dt", image_bytes(0, 7, {}));
  image = load_image("data/image.dt");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->w, 0);
}
