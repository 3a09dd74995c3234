// The recording doubles themselves, loaded into this process as the intro
// loads them: what other end-to-end tests rely on (scripted events, saved
// frames, failure switches, the player's state, the log) must hold.
#include <SDL/SDL.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <mikmod.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "e2e/harness.h"

namespace {

using Lines = std::vector<std::string>;
using Settings = std::vector<std::pair<std::string, std::string>>;

// One double loaded with the given INTRO_DOUBLE_* settings and a log in a
// fresh sandbox; unloaded again when it goes.
class LoadedDouble {
 public:
  LoadedDouble(const char* path, const Settings& settings) : log_path_(sandbox_.root() + "/calls.log") {
    settings_ = settings;
    settings_.emplace_back("INTRO_DOUBLE_LOG", log_path_);
    for (const auto& [name, value] : settings_) setenv(name.c_str(), value.c_str(), 1);
    handle_ = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(handle_, nullptr) << dlerror();
  }
  ~LoadedDouble() {
    unload();
    for (const auto& setting : settings_) unsetenv(setting.first.c_str());
  }
  LoadedDouble(const LoadedDouble&) = delete;
  LoadedDouble& operator=(const LoadedDouble&) = delete;

  template <typename Fn>
  Fn* entry(const char* name) const {
    void* symbol = dlsym(handle_, name);
    if (symbol == nullptr) throw std::runtime_error(std::string("no entry point ") + name);
    return reinterpret_cast<Fn*>(symbol);
  }

  void unload() {
    if (handle_ != nullptr) dlclose(handle_);
    handle_ = nullptr;
  }

  Lines log() const {
    Lines lines;
    std::ifstream file(log_path_);
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
  }

  const e2e::Sandbox& sandbox() const { return sandbox_; }

 private:
  e2e::Sandbox sandbox_;
  std::string log_path_;
  Settings settings_;
  void* handle_ = nullptr;
};

struct Media {
  explicit Media(const Settings& settings = {}) : lib(MEDIA_DOUBLE, settings) {}
  LoadedDouble lib;
  decltype(&::SDL_SetVideoMode) set_video_mode = lib.entry<decltype(::SDL_SetVideoMode)>("SDL_SetVideoMode");
  decltype(&::SDL_CreateRGBSurface) create_surface =
      lib.entry<decltype(::SDL_CreateRGBSurface)>("SDL_CreateRGBSurface");
  decltype(&::SDL_FreeSurface) free_surface = lib.entry<decltype(::SDL_FreeSurface)>("SDL_FreeSurface");
  decltype(&::SDL_Flip) flip = lib.entry<decltype(::SDL_Flip)>("SDL_Flip");
  decltype(&::SDL_FillRect) fill_rect = lib.entry<decltype(::SDL_FillRect)>("SDL_FillRect");
  decltype(&::SDL_UpdateRect) update_rect = lib.entry<decltype(::SDL_UpdateRect)>("SDL_UpdateRect");
  decltype(&::SDL_Delay) delay = lib.entry<decltype(::SDL_Delay)>("SDL_Delay");
  decltype(&::SDL_PollEvent) poll_event = lib.entry<decltype(::SDL_PollEvent)>("SDL_PollEvent");
  decltype(&::SDL_Quit) quit = lib.entry<decltype(::SDL_Quit)>("SDL_Quit");
};

struct Music {
  explicit Music(const Settings& settings = {}) : lib(MUSIC_DOUBLE, settings) {}
  LoadedDouble lib;
  decltype(&::MikMod_Init) init = lib.entry<decltype(::MikMod_Init)>("MikMod_Init");
  decltype(&::MikMod_DriverFromAlias) driver_from_alias =
      lib.entry<decltype(::MikMod_DriverFromAlias)>("MikMod_DriverFromAlias");
  UWORD* device = lib.entry<UWORD>("md_device");
  decltype(&::Player_Load) load = lib.entry<decltype(::Player_Load)>("Player_Load");
  decltype(&::Player_Start) start = lib.entry<decltype(::Player_Start)>("Player_Start");
  decltype(&::Player_Active) active = lib.entry<decltype(::Player_Active)>("Player_Active");
  decltype(&::Player_Stop) stop = lib.entry<decltype(::Player_Stop)>("Player_Stop");
  decltype(&::Player_Free) free_module = lib.entry<decltype(::Player_Free)>("Player_Free");
  decltype(&::MikMod_Update) update = lib.entry<decltype(::MikMod_Update)>("MikMod_Update");
};

// The event kind and key of what SDL_PollEvent handed out, or "none".
std::string next_event(const Media& media) {
  SDL_Event event;
  if (media.poll_event(&event) == 0) return "none";
  switch (event.type) {
    case SDL_KEYDOWN:
      return "down " + std::to_string(event.key.keysym.sym) + (event.key.state == SDL_PRESSED ? " pressed" : "");
    case SDL_KEYUP: return "up " + std::to_string(event.key.keysym.sym);
    case SDL_QUIT: return "quit";
    default: return "other";
  }
}

TEST(MediaDouble, HandsOutScriptedEventsOnceTheirFlipHasCome) {
  Media media(Settings{{"INTRO_DOUBLE_EVENTS", "after_flip=2:keydown=27,keyup=27;after_flip=3:quit,motion"}});
  SDL_Surface* display = media.set_video_mode(640, 480, 32, 0);
  EXPECT_EQ(next_event(media), "none");
  media.flip(display);
  EXPECT_EQ(next_event(media), "none");
  media.flip(display);
  EXPECT_EQ(next_event(media), "down 27 pressed");
  EXPECT_EQ(next_event(media), "up 27");
  EXPECT_EQ(next_event(media), "none");
  media.flip(display);
  media.flip(display);
  EXPECT_EQ(next_event(media), "quit");
  EXPECT_EQ(next_event(media), "other");
  EXPECT_EQ(next_event(media), "none");
  media.quit();
  Lines polls;
  for (const std::string& line : media.lib.log())
    if (line.rfind("SDL_PollEvent", 0) == 0) polls.push_back(line);
  EXPECT_EQ(polls, (Lines{"SDL_PollEvent none", "SDL_PollEvent none", "SDL_PollEvent keydown=27",
                          "SDL_PollEvent keyup=27", "SDL_PollEvent none", "SDL_PollEvent quit",
                          "SDL_PollEvent motion", "SDL_PollEvent none"}));
}

TEST(MediaDouble, SavesTheRequestedFramesByteForByte) {
  e2e::Sandbox frames;
  Media media(Settings{{"INTRO_DOUBLE_SAVE_DIR", frames.root()},
               {"INTRO_DOUBLE_SAVE_FLIPS", "2"},
               {"INTRO_DOUBLE_SAVE_UPDATES", "1"}});
  SDL_Surface* display = media.set_video_mode(640, 480, 32, 0);
  auto* pixels = static_cast<uint32_t*>(display->pixels);
  pixels[0] = 0x11223344;
  media.flip(display);
  pixels[479 * 640 + 639] = 0xff000080;
  media.update_rect(display, 170, 190, 301, 101);
  pixels[1] = 0x80ff00ff;
  media.flip(display);

  const e2e::Frame updated = e2e::read_frame(frames.root() + "/update-1.pam");
  ASSERT_EQ(updated.width, 640);
  ASSERT_EQ(updated.height, 480);
  EXPECT_EQ(updated.at(0, 0), 0x11223344u);
  EXPECT_EQ(updated.at(639, 479), 0xff000080u);
  EXPECT_EQ(updated.at(1, 0), 0u);
  const e2e::Frame flipped = e2e::read_frame(frames.root() + "/flip-2.pam");
  ASSERT_EQ(flipped.pixels.size(), 640u * 480u);
  EXPECT_EQ(flipped.at(1, 0), 0x80ff00ffu);
  EXPECT_FALSE(std::ifstream(frames.root() + "/flip-1.pam").good());
  media.quit();
}

TEST(MediaDouble, NamesSurfacesClipsFillsAndReportsLeaksWhenUnloaded) {
  Media media(Settings{{"INTRO_DOUBLE_FAIL", "SDL_CreateRGBSurface:first"}});
  EXPECT_EQ(media.create_surface(0, 8, 8, 32, 0, 0, 0, 0), nullptr);
  SDL_Surface* display = media.set_video_mode(640, 480, 32, 0x80000000);
  SDL_Surface* kept = media.create_surface(0, 16, 4, 32, 0, 0, 0, 0);
  SDL_Surface* freed = media.create_surface(0, 2, 2, 32, 0, 0, 0, 0);
  SDL_Rect overhang{14, 2, 10, 10};
  media.fill_rect(kept, &overhang, 0xabcdef);
  EXPECT_EQ(static_cast<uint32_t*>(kept->pixels)[3 * 16 + 15], 0xabcdefu);
  EXPECT_EQ(static_cast<uint32_t*>(kept->pixels)[3 * 16 + 13], 0u);
  media.fill_rect(display, nullptr, 0);
  media.free_surface(freed);
  media.free_surface(freed);
  media.free_surface(display);
  media.quit();
  media.lib.unload();
  // dlclose really unloads a double: its last line is already there.
  EXPECT_EQ(media.lib.log(),
            (Lines{"recording_sdl loaded", "SDL_CreateRGBSurface 0x0 8 8 32 0x0 0x0 0x0 0x0 -> null",
                   "SDL_SetVideoMode 640 480 32 0x80000000",
                   "SDL_CreateRGBSurface 0x0 16 4 32 0x0 0x0 0x0 0x0 -> surface#1",
                   "SDL_CreateRGBSurface 0x0 2 2 32 0x0 0x0 0x0 0x0 -> surface#2",
                   "SDL_FillRect surface#1 14 2 10 10 0xabcdef", "SDL_FillRect display null 0x0",
                   "SDL_FreeSurface surface#2", "SDL_FreeSurface unknown", "SDL_FreeSurface display", "SDL_Quit",
                   "recording_sdl leaked surface#1 16x4", "recording_sdl unloaded"}));
}

TEST(MediaDouble, DelaysOnlyRecordUnlessAskedToSleep) {
  using Clock = std::chrono::steady_clock;
  for (const bool real : {false, true}) {
    Media media(real ? Settings{{"INTRO_DOUBLE_REAL_DELAY", "1"}} : Settings{});
    const auto start = Clock::now();
    media.delay(200);
    const auto elapsed = Clock::now() - start;
    if (real)
      EXPECT_GE(elapsed, std::chrono::milliseconds(200));
    else
      EXPECT_LT(elapsed, std::chrono::milliseconds(150));
    EXPECT_EQ(media.lib.log().back(), "SDL_Delay 200");
  }
}

TEST(MusicDouble, InitFailsOnlyAsToldAndLogsTheDevice) {
  Music music(Settings{{"INTRO_DOUBLE_FAIL", "MikMod_Init:first"}});
  EXPECT_NE(music.init(""), 0);
  *music.device = UWORD(music.driver_from_alias("nosound"));
  EXPECT_EQ(*music.device, 6);
  EXPECT_EQ(music.init(""), 0);
  EXPECT_EQ(music.driver_from_alias("no such driver"), 0);
  EXPECT_EQ(music.lib.log(), (Lines{"recording_mikmod loaded", "MikMod_Init \"\" device=0",
                                    "MikMod_DriverFromAlias nosound", "MikMod_Init \"\" device=6",
                                    "MikMod_DriverFromAlias no such driver"}));
}

TEST(MusicDouble, PlaysTheLoadedModuleUntilStoppedAndKnowsItsRecord) {
  Music music;
  music.lib.sandbox().write_file("song.mod", "any bytes");
  const std::string song = music.lib.sandbox().directory() + "/song.mod";
  EXPECT_EQ(music.load((song + ".missing").c_str(), 64, 0), nullptr);
  MODULE* module = music.load(song.c_str(), 64, 0);
  ASSERT_NE(module, nullptr);
  module->wrap = 1;
  music.start(module);
  EXPECT_EQ(music.active(), 1);
  music.update();
  EXPECT_EQ(music.active(), 1);
  music.stop();
  EXPECT_EQ(music.active(), 0);
  MODULE foreign{};
  music.free_module(&foreign);
  music.free_module(module);
  music.lib.unload();
  const Lines log = music.lib.log();
  EXPECT_EQ(Lines(log.begin() + 3, log.end()),
            (Lines{"Player_Start module wrap=1", "Player_Active", "MikMod_Update", "Player_Active", "Player_Stop",
                   "Player_Active", "Player_Free foreign", "Player_Free module", "recording_mikmod unloaded"}));
}

TEST(MusicDouble, ModuleEndsOnItsOwnOrFailsToLoadWhenTold) {
  Music music(Settings{{"INTRO_DOUBLE_MODULE_UPDATES", "2"}, {"INTRO_DOUBLE_FAIL", "Player_Load:first"}});
  music.lib.sandbox().write_file("song.mod", "any bytes");
  const std::string song = music.lib.sandbox().directory() + "/song.mod";
  EXPECT_EQ(music.load(song.c_str(), 64, 0), nullptr);
  MODULE* module = music.load(song.c_str(), 64, 0);
  ASSERT_NE(module, nullptr);
  music.start(module);
  music.update();
  EXPECT_EQ(music.active(), 1);
  music.update();
  EXPECT_EQ(music.active(), 0);
  music.lib.unload();  // the module was never freed
  const Lines log = music.lib.log();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2], "recording_mikmod leaked module");
}

TEST(MusicDouble, LinesFromConcurrentThreadsNeverInterleave) {
  Music music;
  constexpr int per_thread = 2000;
  std::thread player([&] {
    for (int i = 0; i < per_thread; ++i) music.update();
  });
  for (int i = 0; i < per_thread; ++i) music.init("a parameter string long enough to cross buffer edges");
  player.join();
  const Lines log = music.lib.log();
  const std::set<std::string> kinds(log.begin() + 1, log.end());
  EXPECT_EQ(log.size(), size_t(1 + 2 * per_thread));
  EXPECT_EQ(kinds, (std::set<std::string>{
                       "MikMod_Update", "MikMod_Init \"a parameter string long enough to cross buffer edges\" device=0"}));
}

TEST(Harness, WritesImagesInTheAssetFormat) {
  e2e::Sandbox sandbox;
  sandbox.write_image("data/two.dt", 2, 1, {0x281e140a, 0x7f8000ff});
  std::ifstream file(sandbox.directory() + "/data/two.dt", std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes, std::string("\x02\x00\x01\x00\x20\x00\x0a\x14\x1e\x28\xff\x00\x80\x7f", 14));
}

}  // namespace
