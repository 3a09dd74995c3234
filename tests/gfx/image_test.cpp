#include "gfx/image.h"

#include <gtest/gtest.h>

#include "gfx/frame.h"
#include "support/asset_files.h"
#include "support/media_double.h"

// A 3 × 2 image written byte by byte: the header, then words whose byte 0
// comes first in the file; bytes past the last pixel are ignored. A 0 × 7
// image is whole; a file that cannot be used whole is refused.
TEST(LoadImage, CopiesPixelsByteForByteAndRefusesFilesItCannotUseWhole) {
  open_test_display();
  ScratchDirectory scratch;
  auto load = [](const Bytes& file) { return write_file("data/image.dt", file), load_image("data/image.dt"); };
  Bytes file = {3, 0, 2, 0, 32, 0};
  for (int i = 0; i < 6; ++i) file.insert(file.end(), {uint8_t(i), 0x14, 0x1e, 0x80});
  file.insert(file.end(), {1, 2, 3});
  SDL_Surface* image = load(file);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->w, 3);
  EXPECT_EQ(image->h, 2);
  EXPECT_EQ((std::vector<uint32_t>(pixels_of(image), pixels_of(image) + 6)),
            (std::vector<uint32_t>{0x801e1400, 0x801e1401, 0x801e1402, 0x801e1403, 0x801e1404, 0x801e1405}));
  SDL_Surface* empty = load(image_bytes(0, 7, {}));
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->w, 0);

  const Bytes two_by_one = image_bytes(2, 1, {1, 2});
  const Bytes refused[] = {
      {},                                               // no header
      {0x02, 0x00, 0x01},                               // half a header
      Bytes(two_by_one.begin(), two_by_one.end() - 1),  // one byte short
      image_bytes(2, 1, {1, 2}, 24),                    // not 32 bits deep
      image_bytes(65535, 65535, {1, 2}),                // 17 GB promised, 8 bytes present
  };
  for (const Bytes& refused_file : refused) EXPECT_EQ(load(refused_file), nullptr) << refused_file.size() << " bytes";
  EXPECT_EQ(load_image("data/missing.dt"), nullptr);
}
