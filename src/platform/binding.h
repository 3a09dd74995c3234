// Run-time binding of the two libraries: the one place that knows the
// dynamic loader, the library files and how the entry points are found.
#pragma once

#include "platform/entry_points.h"

// Opens data/sdl.library and data/mikmod.library under $PWD and resolves the
// entry points. On failure it prints its message, leaves both libraries
// closed and returns false; the caller must then not call into either.
bool bind_libraries();

// Closes the music library, then the media library. Returns the result of
// closing the media library (0 on success). Only after a successful binding.
int unload_libraries();
