#include "support/media_double.h"

#include <algorithm>

#include "platform/entry_points.h"

SDL_Surface* open_test_display() {
  lib::SDL_SetVideoMode = &::SDL_SetVideoMode;
  lib::SDL_CreateRGBSurface = &::SDL_CreateRGBSurface;
  lib::SDL_ShowCursor = &::SDL_ShowCursor;
  lib::SDL_FreeSurface = &::SDL_FreeSurface;
  lib::SDL_Flip = &::SDL_Flip;
  lib::SDL_FillRect = &::SDL_FillRect;
  lib::SDL_UpdateRect = &::SDL_UpdateRect;
  lib::SDL_Delay = &::SDL_Delay;
  lib::SDL_PollEvent = &::SDL_PollEvent;
  lib::SDL_Quit = &::SDL_Quit;
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
