#include "memory_display.h"

#include <algorithm>
#include <cstdlib>

#include "virtual_clock.h"

namespace memory_display {

SDL_Surface* new_surface(Uint32 flags, int width, int height, int depth) {
  auto* surface = static_cast<SDL_Surface*>(std::calloc(1, sizeof(SDL_Surface)));
  auto* format = static_cast<SDL_PixelFormat*>(std::calloc(1, sizeof(SDL_PixelFormat)));
  const int bytes = (depth + 7) / 8;
  // One byte more, so that even an empty surface has pixel memory.
  void* pixels = std::calloc(size_t(width) * size_t(height) * size_t(bytes) + 1, 1);
  if (surface == nullptr || format == nullptr || pixels == nullptr) {
    std::free(pixels);
    std::free(format);
    std::free(surface);
    return nullptr;
  }
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
  surface->pixels = pixels;
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

int fill_rect(SDL_Surface* surface, const SDL_Rect* rect, Uint32 color) {
  if (surface == nullptr || surface->pixels == nullptr) return -1;
  int x0 = 0, y0 = 0, x1 = surface->w, y1 = surface->h;
  if (rect != nullptr) {
    x0 = std::max(0, int(rect->x));
    y0 = std::max(0, int(rect->y));
    x1 = std::min(surface->w, rect->x + int(rect->w));
    y1 = std::min(surface->h, rect->y + int(rect->h));
  }
  auto* pixels = static_cast<Uint32*>(surface->pixels);
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) pixels[size_t(y) * size_t(surface->w) + size_t(x)] = color;
  return 0;
}

void pass_delay(Uint32 milliseconds) {
  if (virtual_clock_runs()) intro_clock_pass_ns(milliseconds * 1000000LL);
}

void pass_present() {
  if (virtual_clock_runs()) intro_clock_pass_ns(present_cost_ns);
}

}  // namespace memory_display
