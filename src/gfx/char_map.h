// Font sheets hold their glyphs in one fixed order; a character map turns a
// byte of a text into the index of its glyph on the sheet.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The glyph order of every font sheet: byte i of this string is drawn by
// glyph i. "€" and "©" are stored as UTF-8, so they take glyph slots 87–89
// and 90–91, one slot per byte.
constexpr size_t character_order_length = 92;
extern const char character_order[character_order_length + 1];

using CharMap = std::array<uint8_t, 256>;

// Every byte maps to `default_glyph`, except the bytes of the order string,
// which map to their position in it.
void build_char_map(CharMap& map, uint8_t default_glyph);
