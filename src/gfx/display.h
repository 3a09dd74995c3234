// The display surface: opened once by the program entry and drawn into by
// every effect. Effects address it as rows of 640 pixels.
#pragma once

#include <SDL/SDL.h>

#include <cstdint>

constexpr int display_width = 640;
constexpr int display_height = 480;

extern SDL_Surface* display;

// Pixels of any 32-bit surface as words; rows are `w` words apart.
inline uint32_t* pixels_of(SDL_Surface* surface) {
  return static_cast<uint32_t*>(surface->pixels);
}
inline const uint32_t* pixels_of(const SDL_Surface* surface) {
  return static_cast<const uint32_t*>(surface->pixels);
}
