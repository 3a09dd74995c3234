// Recording media library: the ten SDL 1.2 entry points the intro binds (and
// SDL_GetError), with surfaces in plain memory laid out as the real
// SDL_Surface (capture/memory_display.h, shared with the capture). Built as a
// shared object for end-to-end runs (placed as data/sdl.library) and linked
// into the unit tests, which bind the intro's entry points to it directly.
//
// On the virtual clock (capture/virtual_clock.h, preloaded by the harness
// when a test asks for it) SDL_Delay passes simulated time and every present
// costs 1 ms of it, as in a recording; the worker threads then tick on
// simulated time too, and a run never sleeps in real time.
//
// Configured by environment variables (the log opened when the library loads,
// the others read at each call):
//
//   INTRO_DOUBLE_LOG=<file>    append one line per call, e.g.
//                                "SDL_SetVideoMode 640 480 32 0x80000000"
//                                "SDL_CreateRGBSurface 0x0 16 16 32 0x0 0x0 0x0 0x0 -> surface#1"
//                                "SDL_FillRect display null 0x0"  (or "... rect 0x0": the intro clears whole surfaces)
//                                "SDL_FreeSurface surface#1"      ("display", "null", "unknown")
//                                "SDL_Flip"  "SDL_UpdateRect 170 190 301 101"
//                                "SDL_Delay 5"  "SDL_ShowCursor 0"  "SDL_Quit"  "SDL_GetError"
//                                "SDL_PollEvent none"  "SDL_PollEvent keydown=27"
//                              plus "recording_sdl loaded" when the library is loaded and, when it is
//                              unloaded, "recording_sdl leaked <surface> <w>x<h>" for every surface
//                              never freed (released then), then "recording_sdl unloaded".
//   INTRO_DOUBLE_EVENTS=<script>  input events for SDL_PollEvent, e.g.
//                                "after_flip=120:keydown=27,keyup=27;after_flip=200:quit".
//                              Groups are separated by ';'; each group's events become pending, in
//                              order, once that many SDL_Flip calls have happened. Events:
//                              keydown=<sym>, keyup=<sym>, quit (the script is not checked: a
//                              mistaken one shows as a run that does not end as the test expects).
//   INTRO_DOUBLE_SAVE_DIR=<dir> with
//   INTRO_DOUBLE_SAVE_FLIPS=1,50,300     save the flipped surface at those SDL_Flip calls (counted
//                                        from 1) as <dir>/flip-<n>: its pixels' bytes as they are
//                              in memory, row by row, without a header.
//   INTRO_DOUBLE_FAIL=SDL_SetVideoMode   SDL_SetVideoMode fails (returns null), at every call. The
//                              list is shared with the music double, each takes its own names.
//   INTRO_DOUBLE_REAL_DELAY=1  SDL_Delay really sleeps (off the virtual clock); by default it only
//                              records, so runs are fast.
//   INTRO_DOUBLE_INTERRUPT=SDL_Delay 1@21;Player_Active@3  the process is sent a signal
//                              (INTRO_DOUBLE_INTERRUPT_SIGNAL, a number, SIGINT by default) right
//                              after the 21st logged line that starts with "SDL_Delay 1", and the
//                              log says "interrupt sent"; each double counts its own lines, so the
//                              music double takes Player_Active.
#include <SDL/SDL.h>

#include <chrono>
#include <fstream>
#include <map>
#include <thread>
#include <utility>

#include "doubles/double_support.h"
#include "memory_display.h"
#include "virtual_clock.h"

using namespace double_support;

namespace {

// Only the intro's main thread calls the media library.
SDL_Surface* video_surface;
std::map<SDL_Surface*, int> live_surfaces;  // each with the number that names it
int surfaces_created;
long flips;
size_t next_event;  // of the event script

std::string surface_name(SDL_Surface* surface) {
  if (surface == nullptr) return "null";
  if (surface == video_surface) return "display";
  const auto live = live_surfaces.find(surface);
  return live != live_surfaces.end() ? "surface#" + std::to_string(live->second) : "unknown";
}

// Declared last: the other globals outlive it. A leak is reported once, in
// the log; a leak checker watching the process would otherwise report the
// same surface again.
Lifetime lifetime("recording_sdl", [] {
  if (video_surface != nullptr) record("recording_sdl leaked display");
  for (const auto& [surface, number] : live_surfaces)
    record("recording_sdl leaked surface#%d %dx%d", number, surface->w, surface->h);
  if (video_surface != nullptr) memory_display::delete_surface(video_surface);
  for (const auto& live : live_surfaces) memory_display::delete_surface(live.first);
});

}  // namespace

extern "C" {

SDL_Surface* SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags) {
  record("SDL_SetVideoMode %d %d %d 0x%x", width, height, bpp, flags);
  if (told_to_fail("SDL_SetVideoMode")) return nullptr;
  if (video_surface == nullptr) video_surface = memory_display::new_surface(flags, width, height, bpp);
  return video_surface;
}

SDL_Surface* SDL_CreateRGBSurface(Uint32 flags, int width, int height, int depth, Uint32 r_mask,
                                  Uint32 g_mask, Uint32 b_mask, Uint32 a_mask) {
  SDL_Surface* surface = memory_display::new_surface(flags, width, height, depth);
  if (surface != nullptr) live_surfaces[surface] = ++surfaces_created;
  record("SDL_CreateRGBSurface 0x%x %d %d %d 0x%x 0x%x 0x%x 0x%x -> %s", flags, width, height, depth, r_mask,
         g_mask, b_mask, a_mask, surface_name(surface).c_str());
  return surface;
}

int SDL_ShowCursor(int toggle) {  // the intro only hides the cursor and ignores the answer
  record("SDL_ShowCursor %d", toggle);
  return 1;
}

// Like the real library, freeing the video surface does nothing; a surface
// this library never made (or already freed) is left alone and logged as
// "unknown".
void SDL_FreeSurface(SDL_Surface* surface) {
  record("SDL_FreeSurface %s", surface_name(surface).c_str());
  if (live_surfaces.erase(surface) != 0) memory_display::delete_surface(surface);
}

int SDL_Flip(SDL_Surface* screen) {
  record("SDL_Flip");
  static const std::string saved = "," + environment("INTRO_DOUBLE_SAVE_FLIPS") + ",";  // read once
  // A frame not saved fails the test that reads it.
  if (screen != nullptr && saved.find("," + std::to_string(++flips) + ",") != std::string::npos)
    std::ofstream(environment("INTRO_DOUBLE_SAVE_DIR") + "/flip-" + std::to_string(flips), std::ios::binary)
        .write(static_cast<const char*>(screen->pixels), std::streamsize(4) * screen->w * screen->h);
  memory_display::pass_present();
  return 0;
}

int SDL_FillRect(SDL_Surface* dst, SDL_Rect* rect, Uint32 color) {
  record("SDL_FillRect %s %s 0x%x", surface_name(dst).c_str(), rect != nullptr ? "rect" : "null", color);
  return memory_display::fill_rect(dst, rect, color);
}

void SDL_UpdateRect(SDL_Surface*, Sint32 x, Sint32 y, Uint32 w, Uint32 h) {
  record("SDL_UpdateRect %d %d %u %u", x, y, w, h);
  memory_display::pass_present();
}

void SDL_Delay(Uint32 milliseconds) {
  record("SDL_Delay %u", milliseconds);
  if (virtual_clock_runs()) return memory_display::pass_delay(milliseconds);
  // Like the real library's delay, sleep_for goes on after a handled signal.
  if (environment("INTRO_DOUBLE_REAL_DELAY") == "1")
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// Hands out the scripted events whose flip count has been reached, in order.
int SDL_PollEvent(SDL_Event* event) {
  // Each scripted event with the flip count from which it is pending, as
  // written in the script (also the log's word for it); read at the first poll.
  static const std::vector<std::pair<long, std::string>> script = [] {
    std::vector<std::pair<long, std::string>> events;
    for (const std::string& group : split(environment("INTRO_DOUBLE_EVENTS"), ';'))
      for (const std::string& text : split(group.substr(group.find(':') + 1), ','))
        events.emplace_back(std::atol(group.c_str() + group.find('=') + 1), text);
    return events;
  }();
  if (next_event >= script.size() || flips < script[next_event].first) {
    record("SDL_PollEvent none");
    return 0;
  }
  const std::string& text = script[next_event++].second;
  record("SDL_PollEvent %s", text.c_str());
  *event = SDL_Event{};
  event->type = text == "quit" ? SDL_QUIT : text.rfind("keydown=", 0) == 0 ? SDL_KEYDOWN : SDL_KEYUP;
  // The intro reads a key's type and symbol alone.
  if (event->type != SDL_QUIT) event->key.keysym.sym = SDLKey(std::atoi(text.c_str() + text.find('=') + 1));
  return 1;
}

void SDL_Quit() {
  record("SDL_Quit");
  if (video_surface != nullptr) memory_display::delete_surface(video_surface);
  video_surface = nullptr;
}

// The intro asks only after SDL_SetVideoMode failed, which it does only when
// told to.
char* SDL_GetError() {
  record("SDL_GetError");
  return const_cast<char*>("SDL_SetVideoMode was told to fail");
}

}  // extern "C"
