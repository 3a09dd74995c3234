#include "gfx/image.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/asset_files.h"
#include "support/media_double.h"

namespace {

class LoadImage : public ::testing::Test {
 protected:
  void SetUp() override { open_test_display(); }
  SDL_Surface* load(const Bytes& bytes) {
    const std::string path = "data/image" + std::to_string(written_++) + ".dt";
    write_file(path, bytes);
    return load_image(path.c_str());
  }
  ScratchDirectory scratch_;
  int written_ = 0;
};

// A 3 × 2 image written byte by byte: the header, then words whose byte 0
// comes first in the file; bytes past the last pixel are ignored.
TEST_F(LoadImage, CopiesPixelsByteForByteWithRowsWidthApart) {
  Bytes file = {3, 0, 2, 0, 32, 0};
  for (int i = 0; i < 6; ++i) file.insert(file.end(), {uint8_t(i), 0x14, 0x1e, 0x80});
  file.insert(file.end(), {1, 2, 3});
  SDL_Surface* surface = load(file);
  ASSERT_NE(surface, nullptr);
  EXPECT_EQ(surface->w, 3);
  EXPECT_EQ(surface->h, 2);
  EXPECT_EQ(pixel_at(surface, 0, 0), 0x801e1400u);
  EXPECT_EQ(pixel_at(surface, 0, 1), 0x801e1403u);
  EXPECT_EQ(pixel_at(surface, 2, 1), 0x801e1405u);
  SDL_FreeSurface(surface);

  SDL_Surface* empty = load(image_bytes(0, 7, {}));
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->w, 0);
  SDL_FreeSurface(empty);
}

TEST_F(LoadImage, RefusesFilesItCannotUseWhole) {
  const Bytes two_by_one = image_bytes(2, 1, {1, 2});
  const Bytes refused[] = {
      {},                                                  // no header
      {0x02, 0x00, 0x01},                                  // half a header
      Bytes(two_by_one.begin(), two_by_one.end() - 1),     // one byte short
      image_bytes(2, 1, {1, 2}, 24),                       // not 32 bits deep
      image_bytes(65535, 65535, {1, 2}),                   // 17 GB promised, 8 bytes present
  };
  for (const Bytes& file : refused) EXPECT_EQ(load(file), nullptr) << file.size() << " bytes";
  EXPECT_EQ(load_image("data/missing.dt"), nullptr);
}

}  // namespace
