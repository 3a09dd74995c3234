// The entry points of the media library (SDL 1.2) and the music library
// (libmikmod), bound at run time by platform/binding.cpp. Every other file calls
// the libraries through these references only, and knows nothing of how they
// were found.
//
// The library headers are included for their types and signatures only; the
// executable never links either library.
#pragma once

#include <SDL/SDL.h>
#include <mikmod.h>

// The entry points, each named once: X(name) for every one of a list. The
// twenty required ones are resolved in this order, the media library's ten
// first; a library that lacks one of them is not bound.
#define INTRO_MEDIA_ENTRY_POINTS(X)                                                                  \
  X(SDL_SetVideoMode) X(SDL_CreateRGBSurface) X(SDL_ShowCursor) X(SDL_FreeSurface) X(SDL_Flip)      \
  X(SDL_FillRect) X(SDL_UpdateRect) X(SDL_Delay) X(SDL_PollEvent) X(SDL_Quit)
#define INTRO_MUSIC_ENTRY_POINTS(X)                                                                  \
  X(Player_Start) X(Player_Active) X(Player_Stop) X(Player_Free) X(MikMod_Update)                  \
  X(MikMod_RegisterAllDrivers) X(MikMod_RegisterAllLoaders) X(MikMod_Init) X(MikMod_Exit) X(Player_Load)

// alsa-lib's setter of the function that prints its errors, as alsa-lib
// declares it; the music library links alsa-lib where it has an ALSA driver.
extern "C" {
typedef void (*snd_lib_error_handler_t)(const char* file, int line, const char* function, int error,
                                        const char* format, ...);
int snd_lib_error_set_handler(snd_lib_error_handler_t handler);
}

// Optional extras, resolved after the twenty and null when a library lacks
// them: the media library's error text, the window title and the name of the
// video driver it chose; what the music set-up needs to fall back to the
// silent driver when no sound device can be opened, and the music library's
// reason for a module it cannot load (md_device and MikMod_errno are
// variables of the library; their entries are their addresses); and
// alsa-lib's error printer, found through the music library that loaded it.
#define INTRO_OPTIONAL_MEDIA_ENTRY_POINTS(X) X(SDL_GetError) X(SDL_WM_SetCaption) X(SDL_VideoDriverName)
#define INTRO_OPTIONAL_MUSIC_ENTRY_POINTS(X) \
  X(MikMod_DriverFromAlias) X(md_device) X(MikMod_strerror) X(MikMod_errno) X(snd_lib_error_set_handler)

namespace lib {

// Each entry point has the library's own signature; `decltype(&::Name)` names
// it without referencing the symbol itself.
#define INTRO_DECLARE_ENTRY_POINT(name) extern decltype(&::name) name;
INTRO_MEDIA_ENTRY_POINTS(INTRO_DECLARE_ENTRY_POINT)
INTRO_MUSIC_ENTRY_POINTS(INTRO_DECLARE_ENTRY_POINT)
INTRO_OPTIONAL_MEDIA_ENTRY_POINTS(INTRO_DECLARE_ENTRY_POINT)
INTRO_OPTIONAL_MUSIC_ENTRY_POINTS(INTRO_DECLARE_ENTRY_POINT)
#undef INTRO_DECLARE_ENTRY_POINT

}  // namespace lib

