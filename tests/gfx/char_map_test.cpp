#include "gfx/char_map.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(CharacterOrder, HoldsTheGlyphSlotsInSheetOrder) {
  ASSERT_EQ(std::strlen(character_order), 92u);
  EXPECT_EQ(character_order[0], 'A');
  EXPECT_EQ(character_order[26], 'a');
  EXPECT_EQ(character_order[52], '.');
  EXPECT_EQ(character_order[58], '"');
  EXPECT_EQ(character_order[64], '@');
  EXPECT_EQ(character_order[72], '1');
  EXPECT_EQ(character_order[81], '0');
  EXPECT_EQ(character_order[85], '=');
  EXPECT_EQ(std::memcmp(character_order + 87, "\xE2\x82\xAC\xC2\xA9", 5), 0);
}

TEST(BuildCharMap, MapsOrderBytesToTheirPositionAndTheRestToTheDefault) {
  CharMap map;
  build_char_map(map, 91);
  EXPECT_EQ(map['A'], 0);
  EXPECT_EQ(map['z'], 51);
  EXPECT_EQ(map['='], 85);
  EXPECT_EQ(map[0xE2], 87);
  EXPECT_EQ(map[0xA9], 91);
  EXPECT_EQ(map[' '], 91);
  EXPECT_EQ(map['\n'], 91);
  EXPECT_EQ(map[0x01], 91);

  build_char_map(map, 0);
  EXPECT_EQ(map[' '], 0);
  EXPECT_EQ(map['B'], 1);
}
