#include "gfx/blit.h"

#include <gtest/gtest.h>

TEST(MixPixel, MovesTowardSourceAndWrapsAlpha) {
  EXPECT_EQ(mix_pixel(0x64fafafa, 0xc80a0a0a), 0x2c686868u);
}
