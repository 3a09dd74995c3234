// Program entry: binds the libraries, opens the display and runs the fixed
// sequence of the intro.
#include <csignal>
#include <cstdio>
#include <cstdlib>
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
constexpr const char* window_title = "KOB recruitment intro";

// The display must be exactly what the effects address: 480 rows of 640
// pixels, 32 bits each, with no padding between rows.
bool display_usable(const SDL_Surface* surface) {
  return surface != nullptr && surface->w == display_width && surface->h == display_height &&
         surface->format != nullptr && surface->format->BitsPerPixel == 32 &&
         surface->pitch == display_width * 4;
}

bool environment_has(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && *value != '\0';
}

// The media library falls back to drawing in the terminal, without a word,
// when the X display it was pointed at does not answer (unless the terminal
// driver was asked for by name). Said once the run is over, when the terminal
// shows text again.
bool drawn_in_terminal_for_want_of_x() {
  if (!environment_has("DISPLAY") || environment_has("SDL_VIDEODRIVER")) return false;
  if (lib::SDL_VideoDriverName == nullptr) return false;
  char driver[32];
  return lib::SDL_VideoDriverName(driver, sizeof driver) != nullptr && std::strcmp(driver, "caca") == 0;
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
  // Both before the media library starts: it takes over only signals that
  // still have their default action, and would turn SIGTERM into a quit
  // event, which the scene ignores.
  std::signal(SIGINT, handle_interrupt);
  std::signal(SIGTERM, handle_interrupt);

  SDL_Surface* display = lib::SDL_SetVideoMode(display_width, display_height, 32, windowed ? 0 : SDL_FULLSCREEN);
  if (!display_usable(display)) {
    const char* reason = lib::SDL_GetError != nullptr ? lib::SDL_GetError() : "";
    std::fprintf(stderr, "Cannot open a 640x480x32 display%s%s\n", *reason ? ": " : "", reason);
    lib::SDL_Quit();
    unload_libraries();
    return exit_failure;
  }
  lib::SDL_ShowCursor(0);
  if (lib::SDL_WM_SetCaption != nullptr) lib::SDL_WM_SetCaption(window_title, window_title);
  const bool in_terminal_for_want_of_x = drawn_in_terminal_for_want_of_x();

  // Escape or an interrupt ends only the main scene: the closing fades and
  // the credits always follow.
  const bool scene_assets_usable = run_main_scene(display);
  fade_to_black(display);
  const bool credits_font_usable = show_credits(display);
  fade_to_black(display);

  lib::SDL_FreeSurface(display);
  lib::SDL_Quit();
  if (in_terminal_for_want_of_x)
    std::fprintf(stderr, "The X display %s could not be reached, so the intro was drawn in the terminal\n",
                 std::getenv("DISPLAY"));
  const int unload_status = unload_libraries();
  // A run that had to leave out an asset still ends in order, but says so.
  return scene_assets_usable && credits_font_usable ? unload_status : exit_failure;
}
