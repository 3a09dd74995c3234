// The closing page: the credits typed onto the display one byte at a time
// with the small font, then held for a moment. It types over whatever the
// preceding fade left and polls no events.
#pragma once

#include <SDL/SDL.h>

// Loads its own copy of the small font from data/data02.dt, types the
// credits presenting after every byte, holds 1.5 s and releases the font.
// Without a usable font file it says so, skips the typing, still holds, and
// returns false.
bool show_credits(SDL_Surface* display);
