// What the drawing operations draw on: a frame view, 32-bit pixels seen as
// rows. The display and the intro's off-screen surfaces are drawn on through
// views of them.
#pragma once

#include <SDL/SDL.h>

#include <cstddef>
#include <cstdint>

// The display: the effects address it as 480 rows of 640 pixels.
constexpr int display_width = 640;
constexpr int display_height = 480;

struct FrameView {
  uint32_t* pixels;
  int width;
  int height;
  int pitch;  // pixels from the start of one row to the start of the next

  uint32_t* row(int y) const { return pixels + ptrdiff_t(y) * pitch; }
};

// Pixels of any 32-bit surface as words; rows are `w` words apart.
inline uint32_t* pixels_of(SDL_Surface* surface) {
  return static_cast<uint32_t*>(surface->pixels);
}
inline const uint32_t* pixels_of(const SDL_Surface* surface) {
  return static_cast<const uint32_t*>(surface->pixels);
}

// A view of a 32-bit surface. Every surface the intro makes or loads has its
// rows `w` pixels apart, and the display is checked for it when it opens.
inline FrameView frame_of(SDL_Surface* surface) {
  return {pixels_of(surface), surface->w, surface->h, surface->w};
}
