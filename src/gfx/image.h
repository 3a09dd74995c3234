// The .dt image: a 6-byte little-endian header (width, height, depth) and
// width × height raw 32-bit pixels, copied into a surface byte for byte.
#pragma once

#include <SDL/SDL.h>

// Reads the image at `path` into a new surface owned by the caller. Null when
// the file cannot be opened or is not a regular file (a FIFO is refused at
// once, never waited on), ends early, has a depth other than 32, or the
// surface cannot be made; a null result is never half-filled. `reason`, when
// given, then names which of these it was, in a few words.
SDL_Surface* load_image(const char* path, const char** reason = nullptr);

// load_image for one of the intro's assets: a file that cannot be used is
// reported with report_unusable_asset and its reason.
SDL_Surface* load_asset_image(const char* path);

// The one message for an asset that cannot be used, on standard error:
// "Cannot load <path>: <reason>". The run goes on without that asset, and
// ends with a failure status.
void report_unusable_asset(const char* path, const char* reason);

// Exchanges bytes 0 and 2 of every pixel: the logo and the texture are stored
// red first, the display wants blue first.
void swap_red_blue(SDL_Surface* surface);
