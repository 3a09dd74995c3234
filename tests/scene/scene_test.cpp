#include "scene/scene.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "app/binding.h"
#include "app/interrupt.h"
#include "gfx/blit.h"
#include "gfx/display.h"
#include "scene/anim_state.h"
#include "scene/dividers.h"
#include "scene/logo.h"
#include "scene/rotozoom.h"
#include "support/asset_files.h"
#include "support/call_log.h"
#include "support/media_double.h"

namespace {

CallLog calls;

// --- media: the recording library, with the calls the scene paces itself by logged
decltype(lib::SDL_FillRect) real_fill_rect;
decltype(lib::SDL_FreeSurface) real_free_surface;

int log_fill_rect(SDL_Surface* surface, SDL_Rect* rect, Uint32 colour) {
  calls.add("SDL_FillRect");
  return real_fill_rect(surface, rect, colour);
}
void log_free_surface(SDL_Surface* surface) {
  calls.add("SDL_FreeSurface");
  real_free_surface(surface);
}
int log_flip(SDL_Surface*) {
  calls.add("SDL_Flip");
  return 0;
}
void log_delay(Uint32 ms) { calls.add("SDL_Delay " + std::to_string(ms)); }
void log_update_rect(SDL_Surface*, Sint32 x, Sint32 y, Uint32 w, Uint32 h) {
  calls.add("SDL_UpdateRect " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(w) + " " +
            std::to_string(h));
}

// Events handed out per pass of the frame loop; a pass ends at the first
// poll that finds nothing. `interrupt_at_pass` raises the interrupt instead.
std::map<int, std::vector<SDL_Event>> events_by_pass;
int interrupt_at_pass;
int pass, taken_in_pass;

int scripted_poll(SDL_Event* event) {
  if (pass == interrupt_at_pass && taken_in_pass == 0) handle_interrupt(0);
  const std::vector<SDL_Event>& events = events_by_pass[pass];
  if (size_t(taken_in_pass) < events.size()) {
    *event = events[size_t(taken_in_pass++)];
    return 1;
  }
  if (pass > 40) handle_interrupt(0);  // a test that never stops the scene ends anyway
  ++pass;
  taken_in_pass = 0;
  return 0;
}

SDL_Event key(Uint8 type, SDLKey sym) {
  SDL_Event event{};
  event.type = type;
  event.key.keysym.sym = sym;
  return event;
}
SDL_Event window_close() {
  SDL_Event event{};
  event.type = SDL_QUIT;
  return event;
}

// --- music: a player that plays for ever, with scripted start-up results
MODULE module;
std::vector<int> init_results;  // MikMod_Init answers, in turn; 0 is success
bool module_loads;
UWORD device;

void fake_register_drivers() { calls.add("MikMod_RegisterAllDrivers"); }
void fake_register_loaders() { calls.add("MikMod_RegisterAllLoaders"); }
int fake_init(const CHAR* parameters) {
  calls.add(std::string("MikMod_Init \"") + parameters + "\" device " + std::to_string(device));
  const int result = init_results.empty() ? 0 : init_results.front();
  if (!init_results.empty()) init_results.erase(init_results.begin());
  return result;
}
int fake_driver_from_alias(const CHAR* alias) {
  calls.add(std::string("MikMod_DriverFromAlias ") + alias);
  return 6;
}
MODULE* fake_load(const CHAR* path, int channels, BOOL curious) {
  calls.add(std::string("Player_Load ") + path + " " + std::to_string(channels) + " " + std::to_string(curious));
  return module_loads ? &module : nullptr;
}
void fake_start(MODULE*) { calls.add("Player_Start"); }
BOOL fake_active() {
  calls.add("Player_Active");
  return 1;
}
void fake_update() { calls.add("MikMod_Update"); }
void fake_stop() { calls.add("Player_Stop"); }
void fake_free(MODULE*) { calls.add("Player_Free"); }
void fake_exit() { calls.add("MikMod_Exit"); }

const std::vector<std::string> music_prefixes = {"MikMod_", "Player_"};
const std::vector<std::string> media_prefixes = {"SDL_"};

class Scene : public ::testing::Test {
 protected:
  void SetUp() override {
    open_test_display();
    real_fill_rect = lib::SDL_FillRect;
    real_free_surface = lib::SDL_FreeSurface;
    lib::SDL_FillRect = log_fill_rect;
    lib::SDL_FreeSurface = log_free_surface;
    lib::SDL_Flip = log_flip;
    lib::SDL_Delay = log_delay;
    lib::SDL_UpdateRect = log_update_rect;
    lib::SDL_PollEvent = scripted_poll;
    lib::MikMod_RegisterAllDrivers = fake_register_drivers;
    lib::MikMod_RegisterAllLoaders = fake_register_loaders;
    lib::MikMod_Init = fake_init;
    lib::MikMod_DriverFromAlias = fake_driver_from_alias;
    lib::md_device = &device;
    lib::Player_Load = fake_load;
    lib::Player_Start = fake_start;
    lib::Player_Active = fake_active;
    lib::MikMod_Update = fake_update;
    lib::Player_Stop = fake_stop;
    lib::Player_Free = fake_free;
    lib::MikMod_Exit = fake_exit;
    calls.clear();
    events_by_pass.clear();
    interrupt_at_pass = -1;
    pass = 1;
    taken_in_pass = 0;
    init_results.clear();
    module_loads = true;
    module.wrap = 0;
    device = 0;
    write_filled_image("data/data01.dt", 32, 32, 0xff0000ffu);
    write_filled_image("data/data02.dt", 16, 16, 0xff00ff00u);
    write_filled_image("data/data03.dt", 41, 30, 0xff102030u);
    write_filled_image("data/data04.dt", 256, 256, 0xff405060u);
  }
  // Runs the scene with Escape as the only event of pass `escape_pass`.
  void run_until_escape_at(int escape_pass) {
    events_by_pass[escape_pass] = {key(SDL_KEYDOWN, SDLK_ESCAPE)};
    run_main_scene();
  }
  static int frames_presented_after_intro() {
    const std::vector<std::string> media = calls.only({"SDL_Flip"});
    return int(media.size()) - (23 + 160 + 1);
  }
  ScratchDirectory scratch;
};

std::vector<std::string> intro_calls() {
  std::vector<std::string> expected = {"SDL_FillRect"};  // the cleared display
  for (int step = 0; step < 51; ++step) {
    expected.push_back("SDL_UpdateRect 300 225 41 30");  // the centred logo
    expected.push_back("SDL_Delay 5");
  }
  for (int step = 0; step < 23; ++step) {
    expected.push_back("SDL_FillRect");
    expected.push_back("SDL_Flip");
    expected.push_back("SDL_Delay 5");
  }
  expected.push_back("SDL_Delay 500");
  for (int step = 0; step < 160; ++step) {
    expected.push_back("SDL_Flip");
    expected.push_back("SDL_Delay 5");
  }
  expected.push_back("SDL_Flip");
  return expected;
}

TEST_F(Scene, IntroFramesAndTeardownInTheirOrder) {
  run_until_escape_at(4);
  std::vector<std::string> expected = intro_calls();
  expected.push_back("SDL_FillRect");  // the text panel's clear, at its set-up
  for (int frame = 0; frame < 4; ++frame) expected.push_back("SDL_Flip");  // no waiting in the loop
  // The scroller's one glyph, the logo, the panel's glyph and surface, then
  // the fonts and the texture.
  for (int surface = 0; surface < 7; ++surface) expected.push_back("SDL_FreeSurface");
  EXPECT_EQ(calls.only(media_prefixes), expected);
  EXPECT_EQ(module.wrap, 1);
  EXPECT_EQ(anim_state.load(), nullptr);
  EXPECT_EQ(logo_fx, nullptr);
  EXPECT_EQ(rotozoom, nullptr);
  EXPECT_EQ(saved_divider_row, nullptr);
}

TEST_F(Scene, MusicPlaysFromTheThreadAndTheLibraryClosesAfterTheJoins) {
  run_until_escape_at(3);
  const std::vector<std::string> music = calls.only(music_prefixes);
  ASSERT_GE(music.size(), 9u);
  EXPECT_EQ(std::vector<std::string>(music.begin(), music.begin() + 5),
            (std::vector<std::string>{"MikMod_RegisterAllDrivers", "MikMod_RegisterAllLoaders",
                                      "MikMod_Init \"\" device 0", "Player_Load data/data05.dt 64 0",
                                      "Player_Start"}));
  for (size_t i = 5; i + 5 < music.size(); i += 2) {
    ASSERT_EQ(music[i], "Player_Active");
    ASSERT_EQ(music[i + 1], "MikMod_Update");
  }
  EXPECT_EQ(std::vector<std::string>(music.end() - 4, music.end()),
            (std::vector<std::string>{"Player_Active", "Player_Stop", "Player_Free", "MikMod_Exit"}));
  EXPECT_EQ(calls.calls().back(), "MikMod_Exit");
}

TEST_F(Scene, OnlyAnEscapePressTakenLastInItsPassEndsTheScene) {
  events_by_pass[1] = {key(SDL_KEYDOWN, SDLK_ESCAPE), key(SDL_KEYUP, SDLK_ESCAPE)};
  events_by_pass[2] = {window_close()};
  events_by_pass[3] = {key(SDL_KEYDOWN, SDLK_SPACE)};
  events_by_pass[4] = {key(SDL_KEYDOWN, SDLK_ESCAPE), window_close()};
  run_until_escape_at(6);
  EXPECT_EQ(frames_presented_after_intro(), 6);
}

TEST_F(Scene, AnInterruptEndsTheSceneAfterTheFrameInProgress) {
  interrupt_at_pass = 2;
  run_main_scene();
  EXPECT_EQ(frames_presented_after_intro(), 2);
  EXPECT_EQ(calls.calls().back(), "MikMod_Exit");
}

TEST_F(Scene, WithoutASoundDeviceTheSilentDriverIsTried) {
  init_results = {1, 0};
  run_until_escape_at(2);
  const std::vector<std::string> music = calls.only(music_prefixes);
  ASSERT_GE(music.size(), 6u);
  EXPECT_EQ(std::vector<std::string>(music.begin(), music.begin() + 6),
            (std::vector<std::string>{"MikMod_RegisterAllDrivers", "MikMod_RegisterAllLoaders",
                                      "MikMod_Init \"\" device 0", "MikMod_DriverFromAlias nosound",
                                      "MikMod_Init \"\" device 6", "Player_Load data/data05.dt 64 0"}));
  EXPECT_EQ(frames_presented_after_intro(), 2);
}

TEST_F(Scene, WithNoDriverAtAllTheSceneRunsWithoutMusic) {
  init_results = {1, 1};
  testing::internal::CaptureStderr();
  run_until_escape_at(3);
  const std::string messages = testing::internal::GetCapturedStderr();
  EXPECT_NE(messages.find("without music"), std::string::npos);
  EXPECT_EQ(calls.only({"Player_"}), std::vector<std::string>{});
  EXPECT_EQ(frames_presented_after_intro(), 3);
  EXPECT_EQ(calls.calls().back(), "MikMod_Exit");
}

TEST_F(Scene, AMissingModuleEndsTheSceneBeforeAnythingShows) {
  module_loads = false;
  run_main_scene();
  EXPECT_EQ(calls.calls(),
            (std::vector<std::string>{"MikMod_RegisterAllDrivers", "MikMod_RegisterAllLoaders",
                                      "MikMod_Init \"\" device 0", "SDL_FillRect", "Player_Load data/data05.dt 64 0",
                                      "SDL_FreeSurface", "SDL_FreeSurface", "SDL_FreeSurface", "SDL_FreeSurface",
                                      "MikMod_Exit"}));
  EXPECT_EQ(anim_state.load(), nullptr);
  EXPECT_EQ(logo_fx, nullptr);
}

TEST_F(Scene, AnUnusableImageIsReportedAndTheSceneSkipped) {
  struct Case {
    const char* path;
    int width;
    int frees;  // surfaces released, a refused logo included
  };
  for (const Case& c : {Case{"data/data02.dt", 0, 1}, Case{"data/data04.dt", 255, 3}, Case{"data/data03.dt", 600, 4}}) {
    SetUp();
    if (c.width == 0)
      std::remove(c.path);
    else
      write_filled_image(c.path, c.width, 256, 0xff000000u);
    testing::internal::CaptureStderr();
    run_main_scene();
    const std::string messages = testing::internal::GetCapturedStderr();
    EXPECT_NE(messages.find(std::string("Cannot load ") + c.path), std::string::npos) << c.path;
    EXPECT_EQ(calls.only({"Player_Load", "SDL_Flip", "SDL_UpdateRect"}), std::vector<std::string>{}) << c.path;
    EXPECT_EQ(calls.only({"SDL_FreeSurface"}).size(), size_t(c.frees)) << c.path;
    EXPECT_EQ(calls.calls().back(), "MikMod_Exit") << c.path;
  }
}

// One frame with the state held still proves the order of the layers:
// the background everywhere, the fade only between the lines, the darkened
// band behind the logo, the logo itself unfaded, then both divider lines.
TEST_F(Scene, AFrameComposesItsLayersInOrder) {
  AnimState state;
  anim_state.store(&state);
  write_filled_image("data/data03.dt", 41, 30, 0xffc8c8c8u);  // grey 200, opaque
  ASSERT_TRUE(logo_init());
  SDL_Surface* texture = make_surface(256, 256);
  for (int v = 0; v < 256; ++v)
    for (int u = 0; u < 256; ++u) pixel_at(texture, u, v) = uint32_t(v) | uint32_t(u) << 8 | 0xe0u << 16 | 0x11u << 24;
  ASSERT_NE(rotozoom_init(texture), nullptr);
  std::vector<uint32_t> row(640);
  for (int i = 0; i < 640; ++i) row[size_t(i)] = divider_grey(i) + uint32_t(i % 3);
  saved_divider_row = row.data();
  state.angle = 0;
  state.fade = 100;
  state.tick = 128;
  state.phase = 128.0;
  state.logo_y = 0.0;

  draw_scene_frame();
  auto texel = [&](int x, int y) { return pixel_at(texture, (128 + y + x) & 255, (128 + y - x) & 255); };
  auto limited = [](uint32_t p, uint32_t level) {
    uint32_t out = p & 0xff000000u;
    for (int k = 0; k < 3; ++k) out |= std::min((p >> (8 * k)) & 0xff, level) << (8 * k);
    return out;
  };
  const int logo_left = 320 - 20;
  EXPECT_EQ(pixel_at(display, 0, 0), darken_pixel(texel(0, 0)));
  EXPECT_EQ(pixel_at(display, 10, 170), darken_pixel(texel(10, 170)));
  EXPECT_EQ(pixel_at(display, 10, 171), texel(10, 171));
  EXPECT_EQ(pixel_at(display, 10, 172), limited(texel(10, 172), 100));
  EXPECT_EQ(pixel_at(display, 600, 399), limited(texel(600, 399), 100));
  EXPECT_EQ(pixel_at(display, 10, 401), texel(10, 401));
  // Logo pixel (0, 0) at wave index 128 in both directions: 200 - 19 - 19 etc.
  EXPECT_EQ(pixel_at(display, logo_left, 0), (darken_pixel(texel(logo_left, 0)) & 0xff000000u) | 162u | 122u << 8 | 82u << 16);
  for (int x = 0; x < 640; ++x) {
    ASSERT_EQ(pixel_at(display, x, 40), row[size_t(x)]);
    ASSERT_EQ(pixel_at(display, x, 400), row[size_t(639 - x)]);
  }

  state.fade = 255;  // the fade-in is over: the band shows the background as it is
  draw_scene_frame();
  EXPECT_EQ(pixel_at(display, 10, 300), texel(10, 300));

  saved_divider_row = nullptr;
  rotozoom_free();
  logo_free();
  lib::SDL_FreeSurface(texture);
  anim_state.store(nullptr);
}

}  // namespace
