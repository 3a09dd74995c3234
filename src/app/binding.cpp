#include "app/binding.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace lib {
decltype(&::SDL_SetVideoMode) SDL_SetVideoMode;
decltype(&::SDL_CreateRGBSurface) SDL_CreateRGBSurface;
decltype(&::SDL_ShowCursor) SDL_ShowCursor;
decltype(&::SDL_FreeSurface) SDL_FreeSurface;
decltype(&::SDL_Flip) SDL_Flip;
decltype(&::SDL_FillRect) SDL_FillRect;
decltype(&::SDL_UpdateRect) SDL_UpdateRect;
decltype(&::SDL_Delay) SDL_Delay;
decltype(&::SDL_PollEvent) SDL_PollEvent;
decltype(&::SDL_Quit) SDL_Quit;
decltype(&::Player_Start) Player_Start;
decltype(&::Player_Active) Player_Active;
decltype(&::Player_Stop) Player_Stop;
decltype(&::Player_Free) Player_Free;
decltype(&::MikMod_Update) MikMod_Update;
decltype(&::MikMod_RegisterAllDrivers) MikMod_RegisterAllDrivers;
decltype(&::MikMod_RegisterAllLoaders) MikMod_RegisterAllLoaders;
decltype(&::MikMod_Init) MikMod_Init;
decltype(&::MikMod_Exit) MikMod_Exit;
decltype(&::Player_Load) Player_Load;
decltype(&::SDL_GetError) SDL_GetError;
decltype(&::MikMod_DriverFromAlias) MikMod_DriverFromAlias;
UWORD* md_device;
}  // namespace lib

namespace {

void* sdl_handle;
void* mikmod_handle;

constexpr size_t path_buffer_size = 255;  // terminating zero included

// Formats "$PWD/relative" into a fresh 255-byte buffer. Returns the buffer,
// or null (with the reason in `problem`) when PWD is unset or the path would
// not fit; the buffer is never overrun.
char* library_path(const char* relative, const char** problem) {
  const char* pwd = std::getenv("PWD");
  if (pwd == nullptr) {
    *problem = "the PWD environment variable is not set";
    return nullptr;
  }
  char* path = static_cast<char*>(std::malloc(path_buffer_size));
  if (path == nullptr) {
    *problem = "out of memory";
    return nullptr;
  }
  int length = std::snprintf(path, path_buffer_size, "%s/%s", pwd, relative);
  if (length < 0 || static_cast<size_t>(length) >= path_buffer_size) {
    std::free(path);
    *problem = "the PWD environment variable is too long";
    return nullptr;
  }
  return path;
}

template <typename Fn>
bool resolve(void* handle, const char* name, const char* path, Fn& entry) {
  entry = reinterpret_cast<Fn>(dlsym(handle, name));
  if (entry != nullptr) return true;
  std::printf("Missing entry point %s in %s\n", name, path);
  return false;
}

template <typename Fn>
void resolve_optional(void* handle, const char* name, Fn& entry) {
  entry = reinterpret_cast<Fn>(dlsym(handle, name));
}

bool resolve_media(const char* path) {
  void* h = sdl_handle;
  return resolve(h, "SDL_SetVideoMode", path, lib::SDL_SetVideoMode) &&
         resolve(h, "SDL_CreateRGBSurface", path, lib::SDL_CreateRGBSurface) &&
         resolve(h, "SDL_ShowCursor", path, lib::SDL_ShowCursor) &&
         resolve(h, "SDL_FreeSurface", path, lib::SDL_FreeSurface) &&
         resolve(h, "SDL_Flip", path, lib::SDL_Flip) &&
         resolve(h, "SDL_FillRect", path, lib::SDL_FillRect) &&
         resolve(h, "SDL_UpdateRect", path, lib::SDL_UpdateRect) &&
         resolve(h, "SDL_Delay", path, lib::SDL_Delay) &&
         resolve(h, "SDL_PollEvent", path, lib::SDL_PollEvent) &&
         resolve(h, "SDL_Quit", path, lib::SDL_Quit);
}

bool resolve_music(const char* path) {
  void* h = mikmod_handle;
  return resolve(h, "Player_Start", path, lib::Player_Start) &&
         resolve(h, "Player_Active", path, lib::Player_Active) &&
         resolve(h, "Player_Stop", path, lib::Player_Stop) &&
         resolve(h, "Player_Free", path, lib::Player_Free) &&
         resolve(h, "MikMod_Update", path, lib::MikMod_Update) &&
         resolve(h, "MikMod_RegisterAllDrivers", path, lib::MikMod_RegisterAllDrivers) &&
         resolve(h, "MikMod_RegisterAllLoaders", path, lib::MikMod_RegisterAllLoaders) &&
         resolve(h, "MikMod_Init", path, lib::MikMod_Init) &&
         resolve(h, "MikMod_Exit", path, lib::MikMod_Exit) &&
         resolve(h, "Player_Load", path, lib::Player_Load);
}

void close_libraries() {
  if (mikmod_handle != nullptr) dlclose(mikmod_handle);
  if (sdl_handle != nullptr) dlclose(sdl_handle);
  mikmod_handle = nullptr;
  sdl_handle = nullptr;
}

// The loader's two-line message: the full path, then dlerror's text.
void report_open_failure(const char* path) {
  std::printf("Failed to open %s\n", path);
  const char* reason = dlerror();
  std::printf("%s\n", reason != nullptr ? reason : "");
}

}  // namespace

bool bind_libraries() {
  const char* problem = nullptr;
  char* sdl_path = library_path("data/sdl.library", &problem);
  char* mikmod_path = sdl_path != nullptr ? library_path("data/mikmod.library", &problem) : nullptr;
  if (mikmod_path == nullptr) {
    std::printf("Cannot locate the libraries: %s\n", problem);
    std::free(sdl_path);
    std::fflush(stdout);
    return false;
  }

  bool bound = false;
  sdl_handle = dlopen(sdl_path, RTLD_NOW | RTLD_GLOBAL);
  if (sdl_handle == nullptr) {
    report_open_failure(sdl_path);
  } else if ((mikmod_handle = dlopen(mikmod_path, RTLD_NOW | RTLD_GLOBAL)) == nullptr) {
    report_open_failure(mikmod_path);
  } else {
    bound = resolve_media(sdl_path) && resolve_music(mikmod_path);
  }

  if (bound) {
    resolve_optional(sdl_handle, "SDL_GetError", lib::SDL_GetError);
    resolve_optional(mikmod_handle, "MikMod_DriverFromAlias", lib::MikMod_DriverFromAlias);
    resolve_optional(mikmod_handle, "md_device", lib::md_device);
  } else {
    close_libraries();
  }
  std::free(mikmod_path);
  std::free(sdl_path);
  std::fflush(stdout);
  return bound;
}

int unload_libraries() {
  dlclose(mikmod_handle);
  int result = dlclose(sdl_handle);
  mikmod_handle = nullptr;
  sdl_handle = nullptr;
  return result;
}
