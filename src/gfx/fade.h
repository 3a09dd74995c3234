// The two blocking screen transitions. Both present their own frames and pace
// themselves with fixed delays; neither reads the animation state or events.
#pragma once

#include <SDL/SDL.h>

// Brings `image` up from black, centred on `target`, in 51 steps of level
// 0, 5, .., 250 (out of 255), presenting only the image's rectangle and
// waiting 5 ms after each step. Colour bytes become
// trunc(s / 255 × level × alpha / 255); byte 3 of the target is kept. An
// image larger than the target is not drawn at all.
void fade_in_image(const SDL_Surface* image, SDL_Surface* target);

// Takes the 640 × 480 `display` down toward black in exactly 20 frames from a
// snapshot of it: with the factor a = 1.0, 0.95, .., 0.05, byte 0 is scaled
// by a, byte 1 by a², byte 2 by a³, and byte 3 becomes 0. Each frame waits
// 1 ms and is presented whole. When no snapshot memory can be had, the
// display is left as it is.
void fade_to_black(SDL_Surface* display);
