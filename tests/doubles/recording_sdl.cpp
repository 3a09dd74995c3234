// Recording media library: the ten SDL 1.2 entry points the intro binds,
// with surfaces in plain memory laid out as the real SDL_Surface. Built as a
// shared object for end-to-end runs (placed as data/sdl.library) and linked
// into the unit tests, which bind the intro's entry points to it directly.
#include <SDL/SDL.h>

#include <cstdlib>
#include <cstring>

namespace {

SDL_Surface* video_surface;

SDL_Surface* new_surface(Uint32 flags, int width, int height, int depth) {
  auto* surface = static_cast<SDL_Surface*>(std::calloc(1, sizeof(SDL_Surface)));
  auto* format = static_cast<SDL_PixelFormat*>(std::calloc(1, sizeof(SDL_PixelFormat)));
  const int bytes = (depth + 7) / 8;
  format->BitsPerPixel = Uint8(depth);
  format->BytesPerPixel = Uint8(bytes);
  if (depth == 32) {
    format->Rmask = 0xff0000;
    format->Gmask = 0xff00;
    format->Bmask = 0xff;
    format->Rshift = 16;
    format->Gshift = 8;
  }
  surface->flags = flags;
  surface->format = format;
  surface->w = width;
  surface->h = height;
  surface->pitch = Uint16(width * bytes);
  surface->pixels = std::calloc(size_t(width) * size_t(height) * size_t(bytes) + 1, 1);
  surface->clip_rect.w = Uint16(width);
  surface->clip_rect.h = Uint16(height);
  surface->refcount = 1;
  return surface;
}

void delete_surface(SDL_Surface* surface) {
  std::free(surface->pixels);
  std::free(surface->format);
  std::free(surface);
}

}  // namespace

extern "C" {

SDL_Surface* SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags) {
  if (video_surface == nullptr) video_surface = new_surface(flags, width, height, bpp);
  return video_surface;
}

SDL_Surface* SDL_CreateRGBSurface(Uint32 flags, int width, int height, int depth, Uint32, Uint32, Uint32,
                                  Uint32) {
  return new_surface(flags, width, height, depth);
}

int SDL_ShowCursor(int) { return 1; }

// Like the real library, freeing the video surface does nothing.
void SDL_FreeSurface(SDL_Surface* surface) {
  if (surface != nullptr && surface != video_surface) delete_surface(surface);
}

int SDL_Flip(SDL_Surface*) { return 0; }

int SDL_FillRect(SDL_Surface* dst, SDL_Rect* rect, Uint32 color) {
  const int x0 = rect ? rect->x : 0, y0 = rect ? rect->y : 0;
  const int x1 = rect ? x0 + rect->w : dst->w, y1 = rect ? y0 + rect->h : dst->h;
  auto* pixels = static_cast<Uint32*>(dst->pixels);
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) pixels[y * dst->w + x] = color;
  return 0;
}

void SDL_UpdateRect(SDL_Surface*, Sint32, Sint32, Uint32, Uint32) {}
void SDL_Delay(Uint32) {}
int SDL_PollEvent(SDL_Event*) { return 0; }

void SDL_Quit() {
  if (video_surface != nullptr) delete_surface(video_surface);
  video_surface = nullptr;
}

char* SDL_GetError() { return const_cast<char*>(""); }

}  // extern "C"
