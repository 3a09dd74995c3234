// Unit tests draw through the intro's bound entry points; these bind them to
// the recording media library linked into the test executable.
#pragma once

#include <SDL/SDL.h>

#include <cstdint>

// Binds the ten media entry points to the recording library and opens a fresh
// 640 × 480 × 32 display, cleared to zero.
SDL_Surface* open_test_display();

// A new 32-bit surface of the given size, every pixel set to `fill`, made
// through the bound entry point (open_test_display binds it).
SDL_Surface* make_surface(int width, int height, uint32_t fill = 0);

inline uint32_t& pixel_at(SDL_Surface* surface, int x, int y) {
  return static_cast<uint32_t*>(surface->pixels)[size_t(y) * size_t(surface->w) + size_t(x)];
}

// A pixel word from its bytes, byte 0 the lowest.
inline uint32_t bytes(uint32_t b0, uint32_t b1, uint32_t b2, uint32_t b3) { return b0 | b1 << 8 | b2 << 16 | b3 << 24; }
