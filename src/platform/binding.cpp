#include "platform/binding.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/files.h"

namespace lib {
#define INTRO_DEFINE_ENTRY_POINT(name) decltype(&::name) name;
INTRO_MEDIA_ENTRY_POINTS(INTRO_DEFINE_ENTRY_POINT)
INTRO_MUSIC_ENTRY_POINTS(INTRO_DEFINE_ENTRY_POINT)
INTRO_OPTIONAL_MEDIA_ENTRY_POINTS(INTRO_DEFINE_ENTRY_POINT)
INTRO_OPTIONAL_MUSIC_ENTRY_POINTS(INTRO_DEFINE_ENTRY_POINT)
#undef INTRO_DEFINE_ENTRY_POINT
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

// Resolves one list in order, stopping at the first entry point missing.
#define INTRO_RESOLVE_REQUIRED(name) &&resolve(handle, #name, path, lib::name)
#define INTRO_RESOLVE_OPTIONAL(name) resolve_optional(handle, #name, lib::name);

bool resolve_media(void* handle, const char* path) { return true INTRO_MEDIA_ENTRY_POINTS(INTRO_RESOLVE_REQUIRED); }
bool resolve_music(void* handle, const char* path) { return true INTRO_MUSIC_ENTRY_POINTS(INTRO_RESOLVE_REQUIRED); }
void resolve_optional_media(void* handle) { INTRO_OPTIONAL_MEDIA_ENTRY_POINTS(INTRO_RESOLVE_OPTIONAL) }
void resolve_optional_music(void* handle) { INTRO_OPTIONAL_MUSIC_ENTRY_POINTS(INTRO_RESOLVE_OPTIONAL) }

#undef INTRO_RESOLVE_REQUIRED
#undef INTRO_RESOLVE_OPTIONAL

void close_libraries() {
  if (mikmod_handle != nullptr) dlclose(mikmod_handle);
  if (sdl_handle != nullptr) dlclose(sdl_handle);
  mikmod_handle = nullptr;
  sdl_handle = nullptr;
}

// The full path, the reason, and what to do: the files are looked for under
// $PWD, so the intro must start from the directory that holds data/.
void report_open_failure(const char* path, const char* reason) {
  std::printf("Failed to open %s\n%s\n", path, reason);
  std::printf("Start the intro from the directory that holds data/, for example with ./run-intro.sh\n");
}

// Opens one library. The loader would wait forever on a FIFO, so anything
// but a regular file is refused first, with the same message.
void* open_library(const char* path) {
  if (names_non_regular_file(path)) {
    const std::string reason = std::string(path) + ": not a regular file";
    report_open_failure(path, reason.c_str());
    return nullptr;
  }
  void* handle = dlopen(path, RTLD_NOW | RTLD_GLOBAL);
  if (handle == nullptr) {
    const char* reason = dlerror();
    report_open_failure(path, reason != nullptr ? reason : "");
  }
  return handle;
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
  if ((sdl_handle = open_library(sdl_path)) != nullptr && (mikmod_handle = open_library(mikmod_path)) != nullptr)
    bound = resolve_media(sdl_handle, sdl_path) && resolve_music(mikmod_handle, mikmod_path);

  if (bound) {
    resolve_optional_media(sdl_handle);
    resolve_optional_music(mikmod_handle);
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
