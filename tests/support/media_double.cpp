#include "support/media_double.h"

#include <algorithm>

#include "platform/entry_points.h"

SDL_Surface* open_test_display() {
  // The intro's own list of the entry points it binds, each to this library's.
#define BIND_TO_MEDIA_DOUBLE(name) lib::name = &::name;
  INTRO_MEDIA_ENTRY_POINTS(BIND_TO_MEDIA_DOUBLE)
#undef BIND_TO_MEDIA_DOUBLE
  lib::SDL_GetError = &::SDL_GetError;
  ::SDL_Quit();  // a fresh display for every test
  return lib::SDL_SetVideoMode(640, 480, 32, 0);
}

SDL_Surface* make_surface(int width, int height, uint32_t fill) {
  // Through the bound entry point, so a test that rebinds it (the atlas fuzz
  // target counts surfaces) sees this surface too.
  SDL_Surface* surface = lib::SDL_CreateRGBSurface(0, width, height, 32, 0, 0, 0, 0);
  std::fill_n(static_cast<uint32_t*>(surface->pixels), size_t(width) * size_t(height), fill);
  return surface;
}
