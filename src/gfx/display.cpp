#include "gfx/display.h"

SDL_Surface* display;
