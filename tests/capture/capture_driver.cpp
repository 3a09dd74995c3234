// A stand-in for the intro that drives data/sdl.library and data/mikmod.library
// with the intro's own call sequence and pacing: the logo fade-in through
// SDL_UpdateRect, the rise and the divider lines through SDL_Flip with 5 ms
// delays, a music thread and a clock-free main loop that polls for Escape and
// presents as fast as it can, the fade to black, the typed credits and the
// second fade. Every picture it presents is logged (a hash with byte 3 cleared,
// and the phase it belongs to) to CAPTURE_DRIVER_LOG, for the recording tests.
//
// With CAPTURE_DRIVER_FAIL set it prints an error after a few frames and exits
// with status 3, as an intro that cannot go on would.
#include <SDL/SDL.h>
#include <dlfcn.h>
#include <mikmod.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Media {
  decltype(&::SDL_SetVideoMode) SetVideoMode;
  decltype(&::SDL_ShowCursor) ShowCursor;
  decltype(&::SDL_FreeSurface) FreeSurface;
  decltype(&::SDL_Flip) Flip;
  decltype(&::SDL_FillRect) FillRect;
  decltype(&::SDL_UpdateRect) UpdateRect;
  decltype(&::SDL_Delay) Delay;
  decltype(&::SDL_PollEvent) PollEvent;
  decltype(&::SDL_Quit) Quit;
} media;

struct Music {
  decltype(&::Player_Start) Player_Start;
  decltype(&::Player_Active) Player_Active;
  decltype(&::Player_Stop) Player_Stop;
  decltype(&::Player_Free) Player_Free;
  decltype(&::MikMod_Update) Update;
  decltype(&::MikMod_RegisterAllDrivers) RegisterAllDrivers;
  decltype(&::MikMod_RegisterAllLoaders) RegisterAllLoaders;
  decltype(&::MikMod_Init) Init;
  decltype(&::MikMod_Exit) Exit;
  decltype(&::Player_Load) Player_Load;
  decltype(&::MikMod_DriverFromAlias) DriverFromAlias;
  UWORD* md_device;
} music;

SDL_Surface* display;
std::atomic<bool> running{false};
std::vector<std::pair<uint64_t, const char*>> presented;  // picture hash, phase
const char* phase = "opened";

template <typename Fn>
void bind(void* library, const char* name, Fn& entry) {
  entry = reinterpret_cast<Fn>(dlsym(library, name));
  if (entry == nullptr) {
    std::printf("driver: missing %s\n", name);
    std::exit(4);
  }
}

void* open_library(const char* relative) {
  const std::string path = std::string(std::getenv("PWD")) + "/" + relative;
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
  if (library == nullptr) {
    std::printf("Failed to open %s\n%s\n", path.c_str(), dlerror());
    std::exit(1);
  }
  return library;
}

// FNV-1a over pairs of pixels, with byte 3 of every pixel cleared; the
// recording tests hash the decoded frames the same way.
uint64_t picture_hash(const SDL_Surface* surface) {
  const auto* pairs = static_cast<const uint64_t*>(surface->pixels);
  uint64_t hash = 1469598103934665603ull;
  for (int i = 0; i < surface->w * surface->h / 2; ++i) {
    hash ^= pairs[i] & 0x00ffffff00ffffffull;
    hash *= 1099511628211ull;
  }
  return hash;
}

uint32_t* pixel_row(int y) { return static_cast<uint32_t*>(display->pixels) + y * display->w; }

void flip() {
  presented.emplace_back(picture_hash(display), phase);
  media.Flip(display);
}

// A one-pattern ProTracker module: a looped square wave held from row 0, so
// the music sounds from its first sample on.
std::string write_module(const std::string& path) {
  std::vector<uint8_t> mod(1084 + 1024 + 32, 0);
  uint8_t* sample = &mod[20];
  sample[22 + 1] = 16;   // length in words
  sample[25] = 64;       // volume
  sample[29] = 16;       // loop length in words
  mod[950] = 1;          // song length
  mod[951] = 127;
  std::memcpy(&mod[1080], "M.K.", 4);
  const uint8_t note[4] = {0x01, 0xAC, 0x10, 0x00};  // sample 1, period 428
  std::memcpy(&mod[1084], note, 4);
  for (int i = 0; i < 32; ++i) mod[1084 + 1024 + i] = uint8_t(i < 16 ? 100 : -100);
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr || std::fwrite(mod.data(), 1, mod.size(), file) != mod.size()) std::exit(5);
  std::fclose(file);
  return path;
}

void music_thread(MODULE* module) {
  music.Player_Start(module);
  while (music.Player_Active() && running.load()) {
    usleep(10000);
    music.Update();
  }
  music.Player_Stop();
  music.Player_Free(module);
}

void fill(uint32_t colour) { media.FillRect(display, nullptr, colour); }

void logo_intro() {
  phase = "fade-in";
  SDL_Rect logo{220, 190, 200, 100};
  for (int level = 0; level <= 254; level += 5) {
    for (int y = logo.y; y < logo.y + logo.h; ++y)
      for (int x = logo.x; x < logo.x + logo.w; ++x) pixel_row(y)[x] = uint32_t(level) * 0x010101u;
    presented.emplace_back(picture_hash(display), phase);
    media.UpdateRect(display, logo.x, logo.y, logo.w, logo.h);
    media.Delay(5);
  }
  phase = "rise";
  for (int i = 0; i < 90; i += 4) {
    fill(0);
    SDL_Rect moved{logo.x, Sint16(190 - 2 * i), logo.w, logo.h};
    media.FillRect(display, &moved, 0x00fafafa);
    flip();
    media.Delay(5);
  }
  media.Delay(500);
  phase = "lines";
  for (int x = 0; x < 640; ++x) {
    pixel_row(110)[x] = pixel_row(400)[x] = 0x00808080;
    if (x % 4 == 3) {
      flip();
      media.Delay(5);
    }
  }
  flip();
}

// The background marks its frames with red 0xC0 at the top-left pixel and the
// frame number in green and blue.
void main_scene(MODULE* module) {
  running = true;
  std::thread player(music_thread, module);
  usleep(20000);  // the effect set-ups
  phase = "scene";
  SDL_Event event{};
  for (uint32_t frame = 0;; ++frame) {
    while (media.PollEvent(&event)) {
    }
    if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE) running = false;
    fill(0x00c00000u | (frame & 0xffffu));
    for (int y = 0; y < 480; y += 2) pixel_row(y)[frame % 640] = 0x00ffffff;  // some drawing work
    flip();
    if (!running) break;
  }
  player.join();
}

void fade_to_black() {
  phase = "fade";
  std::vector<uint32_t> snapshot(static_cast<uint32_t*>(display->pixels),
                                 static_cast<uint32_t*>(display->pixels) + 640 * 480);
  for (double a = 1.0; a > 0; a -= 0.05) {
    for (int i = 0; i < 640 * 480; ++i) {
      const uint32_t p = snapshot[i];
      pixel_row(0)[i] = uint32_t((p & 0xff) * a) | uint32_t(((p >> 8) & 0xff) * a * a) << 8 |
                        uint32_t(((p >> 16) & 0xff) * a * a * a) << 16;
    }
    media.Delay(1);
    flip();
  }
}

void credits() {
  phase = "credits";
  for (int i = 0; i < 113; ++i) {
    SDL_Rect glyph{Sint16(240 + (i % 20) * 8), Sint16(170 + (i / 20) * 16), 7, 12};
    media.FillRect(display, &glyph, 0x00e0e0e0);
    flip();
    media.Delay(10);
  }
  media.Delay(1500);
}

void write_log() {
  const char* log_path = std::getenv("CAPTURE_DRIVER_LOG");
  if (log_path == nullptr) return;
  FILE* log = std::fopen(log_path, "w");
  if (log == nullptr) std::exit(6);
  for (const auto& [hash, name] : presented) std::fprintf(log, "%016llx %s\n", (unsigned long long)hash, name);
  std::fclose(log);
}

}  // namespace

int main() {
  void* sdl = open_library("data/sdl.library");
  void* mikmod = open_library("data/mikmod.library");
  bind(sdl, "SDL_SetVideoMode", media.SetVideoMode);
  bind(sdl, "SDL_ShowCursor", media.ShowCursor);
  bind(sdl, "SDL_FreeSurface", media.FreeSurface);
  bind(sdl, "SDL_Flip", media.Flip);
  bind(sdl, "SDL_FillRect", media.FillRect);
  bind(sdl, "SDL_UpdateRect", media.UpdateRect);
  bind(sdl, "SDL_Delay", media.Delay);
  bind(sdl, "SDL_PollEvent", media.PollEvent);
  bind(sdl, "SDL_Quit", media.Quit);
  bind(mikmod, "Player_Start", music.Player_Start);
  bind(mikmod, "Player_Active", music.Player_Active);
  bind(mikmod, "Player_Stop", music.Player_Stop);
  bind(mikmod, "Player_Free", music.Player_Free);
  bind(mikmod, "MikMod_Update", music.Update);
  bind(mikmod, "MikMod_RegisterAllDrivers", music.RegisterAllDrivers);
  bind(mikmod, "MikMod_RegisterAllLoaders", music.RegisterAllLoaders);
  bind(mikmod, "MikMod_Init", music.Init);
  bind(mikmod, "MikMod_Exit", music.Exit);
  bind(mikmod, "Player_Load", music.Player_Load);
  bind(mikmod, "MikMod_DriverFromAlias", music.DriverFromAlias);  // the intro's optional fallback symbols
  bind(mikmod, "md_device", music.md_device);

  display = media.SetVideoMode(640, 480, 32, SDL_FULLSCREEN);
  if (display == nullptr) return 7;
  presented.emplace_back(picture_hash(display), phase);  // the display as it opened
  media.ShowCursor(0);

  if (std::getenv("CAPTURE_DRIVER_FAIL") != nullptr) {
    for (int i = 0; i < 10; ++i) {
      flip();
      media.Delay(5);
    }
    std::fprintf(stderr, "driver: cannot go on, the assets are unusable\n");
    return 3;
  }

  music.RegisterAllDrivers();
  music.RegisterAllLoaders();
  if (music.Init("") != 0) {
    *music.md_device = UWORD(music.DriverFromAlias("nosound"));
    music.Init("");
  }
  const char* log_path = std::getenv("CAPTURE_DRIVER_LOG");
  const std::string module_path = write_module(std::string(log_path ? log_path : "/tmp/driver") + ".mod");
  fill(0);
  MODULE* module = music.Player_Load(module_path.c_str(), 64, 0);
  if (module == nullptr) return 8;
  module->wrap = 1;

  logo_intro();
  main_scene(module);
  music.Exit();
  fade_to_black();
  credits();
  fade_to_black();
  media.FreeSurface(display);
  media.Quit();
  write_log();
  dlclose(mikmod);
  return dlclose(sdl);
}
