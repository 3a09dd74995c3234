#include "gfx/char_map.h"

const char character_order[character_order_length + 1] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
    "abcdefghijklmnopqrstuvwxyz"
    ".,!?*-"
    "\""
    "&/':~@+<>()[]"
    "1234567890"
    "{}%=$"
    "\xE2\x82\xAC"  // €
    "\xC2\xA9";     // ©

static_assert(sizeof character_order == character_order_length + 1, "92 glyph slots and the terminator");

void build_char_map(CharMap& map, uint8_t default_glyph) {
  map.fill(default_glyph);
  for (size_t i = 0; i < character_order_length; ++i)
    map[static_cast<unsigned char>(character_order[i])] = static_cast<uint8_t>(i);
}
