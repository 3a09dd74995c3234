// Program entry: binds the libraries, opens the display and runs the fixed
// sequence of the intro.
#include <csignal>
#include <cstdio>
#include <cstring>

#include "app/interrupt.h"
#include "credits/credits.h"
#include "gfx/fade.h"
#include "gfx/frame.h"
#include "platform/binding.h"
#include "scene/scene.h"

namespace {

constexpr int exit_usage = 2;
constexpr int exit_failure = 1;

// The display must be exactly what the effects address: 480 rows of 640
// pixels, 32 bits each, with no padding between rows.
bool display_usable(const SDL_Surface* surface) {
  return surface != nullptr && surface->w == display_width && surface->h == display_height &&
         surface->format != nullptr && surface->format->BitsPerPixel == 32 &&
         surface->pitch == display_width * 4;
}

}  // namespace

int main(int argc, char** argv) {
  bool windowed = false;
  if (argc > 1) {
    if (std::strcmp(argv[1], "windowed") != 0) {
      std::fprintf(stderr, "usage: %s [windowed]\n", argv[0]);
      return exit_usage;
    }
    windowed = true;
  }

  if (!bind_libraries()) return exit_failure;
  std::signal(SIGINT, handle_interrupt);

  SDL_Surface* display = lib::SDL_SetVideoMode(display_width, display_height, 32, windowed ? 0 : SDL_FULLSCREEN);
  if (!display_usable(display)) {
    const char* reason = lib::SDL_GetError != nullptr ? lib::SDL_GetError() : "";
    std::fprintf(stderr, "Cannot open a 640x480x32 display%s%s\n", *reason ? ": " : "", reason);
    lib::SDL_Quit();
    unload_libraries();
    return exit_failure;
  }
  lib::SDL_ShowCursor(0);

  // Escape or an interrupt ends only the main scene: the closing fades and
  // the credits always follow.
  const bool scene_assets_usable = run_main_scene(display);
  fade_to_black(display);
  const bool credits_font_usable = show_credits(display);
  fade_to_black(display);

  lib::SDL_FreeSurface(display);
  lib::SDL_Quit();
  const int unload_status = unload_libraries();
  // A run that had to leave out an asset still ends in order, but says so.
  return scene_assets_usable && credits_font_usable ? unload_status : exit_failure;
}
