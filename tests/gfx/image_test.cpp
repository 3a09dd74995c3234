#include "gfx/image.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "support/asset_files.h"
#include "support/media_double.h"

namespace {

using Bytes = std::vector<unsigned char>;

class LoadImage : public ::testing::Test {
 protected:
  void SetUp() override { open_test_display(); }
  std::string write(const Bytes& bytes) {
    const std::string path = "data/image" + std::to_string(written_++) + ".dt";
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
  }
  ScratchDirectory scratch_;
  int written_ = 0;
};

Bytes header(int width, int height, int depth) {
  return {Bytes::value_type(width & 0xff), Bytes::value_type(width >> 8),
          Bytes::value_type(height & 0xff), Bytes::value_type(height >> 8),
          Bytes::value_type(depth & 0xff), Bytes::value_type(depth >> 8)};
}

const Bytes two_by_one = {0x02, 0x00, 0x01, 0x00, 0x20, 0x00, 0x0A, 0x14, 0x1E, 0x28, 0xFF, 0x00, 0x80, 0x7F};

TEST_F(LoadImage, CopiesPixelsByteForByte) {
  SDL_Surface* surface = load_image(write(two_by_one).c_str());
  ASSERT_NE(surface, nullptr);
  EXPECT_EQ(surface->w, 2);
  EXPECT_EQ(surface->h, 1);
  EXPECT_EQ(pixel_at(surface, 0, 0), 0x281e140au);  // byte 0 is the lowest
  EXPECT_EQ(pixel_at(surface, 1, 0), 0x7f8000ffu);
  SDL_FreeSurface(surface);
}

TEST_F(LoadImage, IgnoresTrailingBytes) {
  Bytes longer = two_by_one;
  longer.insert(longer.end(), {1, 2, 3, 4, 5});
  SDL_Surface* plain = load_image(write(two_by_one).c_str());
  SDL_Surface* padded = load_image(write(longer).c_str());
  ASSERT_NE(padded, nullptr);
  EXPECT_EQ(pixel_at(padded, 0, 0), pixel_at(plain, 0, 0));
  EXPECT_EQ(pixel_at(padded, 1, 0), pixel_at(plain, 1, 0));
  SDL_FreeSurface(plain);
  SDL_FreeSurface(padded);
}

TEST_F(LoadImage, RowsAreWidthApart) {
  Bytes bytes = header(3, 2, 32);
  for (int i = 0; i < 6; ++i) bytes.insert(bytes.end(), {Bytes::value_type(i), 0, 0, 0});
  SDL_Surface* surface = load_image(write(bytes).c_str());
  ASSERT_NE(surface, nullptr);
  EXPECT_EQ(pixel_at(surface, 0, 1), 3u);
  EXPECT_EQ(pixel_at(surface, 2, 1), 5u);
  SDL_FreeSurface(surface);
}

TEST_F(LoadImage, RefusesFilesItCannotUseWhole) {
  EXPECT_EQ(load_image("data/missing.dt"), nullptr);
  EXPECT_EQ(load_image(write({}).c_str()), nullptr);                        // no header
  EXPECT_EQ(load_image(write({0x02, 0x00, 0x01}).c_str()), nullptr);        // half a header
  EXPECT_EQ(load_image(write(Bytes(two_by_one.begin(), two_by_one.end() - 1)).c_str()), nullptr);
  Bytes depth24 = two_by_one;
  depth24[4] = 24;
  EXPECT_EQ(load_image(write(depth24).c_str()), nullptr);
  Bytes absurd = header(65535, 65535, 32);  // 17 GB promised, 8 bytes present
  absurd.insert(absurd.end(), 8, 0xff);
  EXPECT_EQ(load_image(write(absurd).c_str()), nullptr);
}

TEST_F(LoadImage, EmptyImageLoads) {
  SDL_Surface* surface = load_image(write(header(0, 7, 32)).c_str());
  ASSERT_NE(surface, nullptr);
  EXPECT_EQ(surface->w, 0);
  SDL_FreeSurface(surface);
}

TEST(SwapRedBlue, ExchangesBytesZeroAndTwoOnly) {
  open_test_display();
  SDL_Surface* surface = make_surface(2, 2, 0x44332211);
  swap_red_blue(surface);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(pixel_at(surface, i % 2, i / 2), 0x44112233u);
  SDL_FreeSurface(surface);
}

}  // namespace
