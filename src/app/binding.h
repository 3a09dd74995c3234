// Run-time binding of the media library (SDL 1.2) and the music library
// (libmikmod). Nothing else in the program knows about the dynamic loader:
// every other file calls the libraries through the entry points below.
//
// The library headers are included for their types and signatures only; the
// executable never links either library.
#pragma once

#include <SDL/SDL.h>
#include <mikmod.h>

namespace lib {

// The twenty entry points, in the order they are resolved. Each has the
// library's own signature; `decltype(&::Name)` names it without referencing
// the symbol itself.
extern decltype(&::SDL_SetVideoMode) SDL_SetVideoMode;
extern decltype(&::SDL_CreateRGBSurface) SDL_CreateRGBSurface;
extern decltype(&::SDL_ShowCursor) SDL_ShowCursor;
extern decltype(&::SDL_FreeSurface) SDL_FreeSurface;
extern decltype(&::SDL_Flip) SDL_Flip;
extern decltype(&::SDL_FillRect) SDL_FillRect;
extern decltype(&::SDL_UpdateRect) SDL_UpdateRect;
extern decltype(&::SDL_Delay) SDL_Delay;
extern decltype(&::SDL_PollEvent) SDL_PollEvent;
extern decltype(&::SDL_Quit) SDL_Quit;
extern decltype(&::Player_Start) Player_Start;
extern decltype(&::Player_Active) Player_Active;
extern decltype(&::Player_Stop) Player_Stop;
extern decltype(&::Player_Free) Player_Free;
extern decltype(&::MikMod_Update) MikMod_Update;
extern decltype(&::MikMod_RegisterAllDrivers) MikMod_RegisterAllDrivers;
extern decltype(&::MikMod_RegisterAllLoaders) MikMod_RegisterAllLoaders;
extern decltype(&::MikMod_Init) MikMod_Init;
extern decltype(&::MikMod_Exit) MikMod_Exit;
extern decltype(&::Player_Load) Player_Load;

// Optional extras, resolved after the twenty and null when a library lacks
// them: the media library's error text, and what the music set-up needs to
// fall back to the silent driver when no sound device can be opened.
extern decltype(&::SDL_GetError) SDL_GetError;
extern decltype(&::MikMod_DriverFromAlias) MikMod_DriverFromAlias;
extern UWORD* md_device;

}  // namespace lib

// Opens data/sdl.library and data/mikmod.library under $PWD and resolves the
// entry points. On failure it prints its message, leaves both libraries
// closed and returns false; the caller must then not call into either.
bool bind_libraries();

// Closes the music library, then the media library. Returns the result of
// closing the media library (0 on success). Only after a successful binding.
int unload_libraries();
