// Surfaces in plain memory, laid out as SDL 1.2 lays out its own, for the two
// media libraries that stand in for SDL: the capture's and the recording test
// double's. On the virtual clock (virtual_clock.h) they also give the intro's
// waits and presents their simulated cost.
#pragma once

#include <SDL/SDL.h>

namespace memory_display {

// A real present takes real time; on the virtual clock each one takes this
// much simulated time, so the frame loop runs at 1000 frames per simulated
// second: far above any video rate, and the clock thread's 10 ms tick spans
// ten frames.
constexpr long long present_cost_ns = 1000000;

// A surface of `depth` bits per pixel with zeroed pixels (a 32-bit one with
// SDL's default masks: byte 0 blue), or null when memory runs out.
SDL_Surface* new_surface(Uint32 flags, int width, int height, int depth);
void delete_surface(SDL_Surface* surface);

// Fills `rect` clipped to the surface, or the whole surface when null, as
// SDL_FillRect does; -1 for a surface without pixels.
int fill_rect(SDL_Surface* surface, const SDL_Rect* rect, Uint32 color);

// The simulated time of a delay and of a present; nothing without the clock.
void pass_delay(Uint32 milliseconds);
void pass_present();

}  // namespace memory_display
