#include "scene/scene.h"

#include <pthread.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <new>
#include <string>

#include "gfx/assets.h"
#include "gfx/blit.h"
#include "gfx/fade.h"
#include "gfx/frame.h"
#include "gfx/image.h"
#include "platform/entry_points.h"
#include "platform/files.h"
#include "platform/sound_devices.h"
#include "scene/angles.h"
#include "scene/anim_state.h"
#include "scene/dividers.h"
#include "scene/interrupt_target.h"
#include "scene/logo.h"
#include "scene/rotozoom.h"
#include "scene/scroller.h"
#include "scene/text_panel.h"

namespace {

constexpr int module_channels = 64;
constexpr int intro_step_delay_ms = 5;
constexpr int intro_pause_ms = 500;
constexpr int logo_rise_end = 90;  // the rise steps i = 0, 4, .., 88
constexpr int logo_rise_step = 4;

struct SceneImages {
  SDL_Surface* big_font;    // the scroller's glyphs
  SDL_Surface* small_font;  // the text panel's glyphs
  SDL_Surface* texture;     // the background, 256 × 256
};

struct Worker {
  pthread_t thread{};
  bool started = false;
};

// alsa-lib's messages while the music library probes its drivers say only
// which devices could not be opened; the set-up reports the outcome itself.
void ignore_alsa_message(const char*, int, const char*, int, const char*, ...) {}

// Takes the silent driver, and says so in one line when it starts.
bool start_silent_driver() {
  if (lib::MikMod_DriverFromAlias == nullptr || lib::md_device == nullptr) return false;
  const int silent_driver = lib::MikMod_DriverFromAlias("nosound");
  if (silent_driver <= 0) return false;
  *lib::md_device = static_cast<UWORD>(silent_driver);
  if (lib::MikMod_Init("") != 0) return false;
  std::fprintf(stderr, "No sound device: the intro plays without sound\n");
  return true;
}

// Registers every driver and loader and starts the music library. Where no
// sound device can exist, the library's probe of each driver would only
// fail, noisily, so the silent driver is taken at once. Otherwise, or when
// the music library has no silent driver to choose, it picks its driver as
// usual; the silent driver is also the fallback when that finds nothing,
// since the library would crash on the first module load after a failed
// start. Only when the silent driver fails as well does the scene run
// without music.
bool prepare_music_library() {
  lib::MikMod_RegisterAllDrivers();
  lib::MikMod_RegisterAllLoaders();
  if (!sound_device_present() && start_silent_driver()) return true;
  if (lib::snd_lib_error_set_handler != nullptr) lib::snd_lib_error_set_handler(ignore_alsa_message);
  if (lib::MikMod_Init("") == 0 || start_silent_driver()) return true;
  std::fprintf(stderr, "No sound driver can be started: the intro runs without music\n");
  return false;
}

// Loads both font sheets and the texture, in that order, stopping at the
// first that cannot be used.
bool load_scene_images(SceneImages& images) {
  if ((images.big_font = load_asset_image(big_font_path)) == nullptr) return false;
  if ((images.small_font = load_asset_image(small_font_path)) == nullptr) return false;
  if ((images.texture = load_asset_image(texture_path)) == nullptr) return false;
  if (images.texture->w != rotozoom_texture_size || images.texture->h != rotozoom_texture_size) {
    report_unusable_asset(texture_path, "the texture must be 256 x 256 pixels");
    return false;
  }
  return true;
}

void free_scene_images(SceneImages& images) {
  for (SDL_Surface* image : {images.big_font, images.small_font, images.texture})
    if (image != nullptr) lib::SDL_FreeSurface(image);
}

int16_t logo_rise_row(int start_row, int step) {
  return static_cast<int16_t>(start_row * std::sin(step / 180.0 * -intro_pi) + start_row);
}

// The logo eases from its centred row up to the top edge. Each frame shows
// the row computed in the step before.
void play_logo_rise(SDL_Surface* display, LogoFx& logo) {
  const int start_row = logo.y;
  for (int step = 0; step < logo_rise_end; step += logo_rise_step) {
    lib::SDL_FillRect(display, nullptr, 0);
    blit_alpha(logo.surface, frame_of(display), logo.x, logo.y);
    logo.y = logo_rise_row(start_row, step);
    lib::SDL_Flip(display);
    lib::SDL_Delay(intro_step_delay_ms);
  }
}

// Both lines grow from the left in 160 presented steps of 4 pixels; the
// lower one is not mirrored yet.
void play_divider_lines(SDL_Surface* display, int upper_row) {
  const FrameView frame = frame_of(display);
  uint32_t* upper = frame.row(upper_row);
  uint32_t* lower = frame.row(lower_divider_row);
  for (int column = 0; column < display_width; ++column) {
    upper[column] = divider_grey(column);
    lower[column] = upper[column];
    if (column % 4 == 3) {
      lib::SDL_Flip(display);
      lib::SDL_Delay(intro_step_delay_ms);
    }
  }
}

void save_divider_row(SDL_Surface* display, int upper_row, uint32_t* saved_row) {
  const uint32_t* upper = frame_of(display).row(upper_row);
  for (int i = 0; i < divider_length; ++i) saved_row[i] = upper[i];
}

void play_intro(Scene& scene, SDL_Surface* display) {
  const int upper_row = upper_divider_row(scene.logo.surface->h);
  fade_in_image(scene.logo.surface, display);
  play_logo_rise(display, scene.logo);
  lib::SDL_Delay(intro_pause_ms);
  play_divider_lines(display, upper_row);
  lib::SDL_Flip(display);
  save_divider_row(display, upper_row, scene.saved_divider_row.data());
}

Worker start_worker(void* (*entry)(void*), void* argument) {
  Worker worker;
  worker.started = pthread_create(&worker.thread, nullptr, entry, argument) == 0;
  return worker;
}

void join_worker(const Worker& worker) {
  if (worker.started) pthread_join(worker.thread, nullptr);
}

// Only the last event of a pass counts: an Escape press followed by any
// other event in the same pass is not seen.
bool escape_pressed_last(const SDL_Event& event) {
  return event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE;
}

// Draws and presents frames without waiting until `running` is clear after a
// presented frame.
void run_frame_loop(Scene& scene, SDL_Surface* display) {
  AnimState& state = scene.state;
  const FrameView frame = frame_of(display);
  SDL_Event event{};  // holds no event until the first is taken
  do {
    while (lib::SDL_PollEvent(&event) != 0) {
    }
    if (escape_pressed_last(event)) state.running.store(0, relaxed);
    draw_scene_frame(scene, frame);
    lib::SDL_Flip(display);
  } while (state.running.load(relaxed) != 0);
}

// From the start of the music and the clock to the release of the effects.
// `module` is null when the scene runs without music.
void run_animated_scene(Scene& scene, SceneImages& images, MODULE* module, SDL_Surface* display) {
  AnimState& state = scene.state;
  state.running.store(1, relaxed);
  MusicPlayback playback{module, &state};
  const Worker music = module != nullptr ? start_worker(music_thread, &playback) : Worker{};
  if (module != nullptr && !music.started) lib::Player_Free(module);  // no thread will play it
  const Worker clock = start_worker(clock_thread, &state);

  // An effect whose set-up fails leaves out what it could not make (a
  // background without tables draws nothing) and the scene runs on. The
  // clock already ticks: each start value replaces whatever the early ticks
  // left, and no tick in progress can undo it.
  text_panel_init(scene.panel, images.small_font);
  text_panel_typeset(scene.panel);
  rotozoom_init(scene.background, images.texture);
  store_start_angle(state, 0);
  scroller_init(scene.scroller, images.big_font);
  store_start_scroll_x(state, scroller_start_x);
  store_start_fade(state, 0);

  run_frame_loop(scene, display);

  join_worker(music);
  join_worker(clock);
  rotozoom_free(scene.background);
  scroller_free(scene.scroller);
  logo_free(scene.logo);
  text_panel_free(scene.panel);
}

// The music library's own reason for a module it did not load, where it
// offers one.
std::string module_load_reason() {
  std::string reason = "not a module the music library can load";
  const char* detail =
      lib::MikMod_strerror != nullptr && lib::MikMod_errno != nullptr ? lib::MikMod_strerror(*lib::MikMod_errno) : nullptr;
  if (detail != nullptr && *detail != '\0') reason += std::string(" (") + detail + ")";
  return reason;
}

// The module, or null after naming why it cannot be had. The music library
// opens the file itself and would wait forever on a FIFO, so the file is
// opened here first: anything but a readable regular file is refused.
MODULE* load_module() {
  const ReadableFile file = open_regular_file(module_path);
  if (file.descriptor < 0) {
    report_unusable_asset(module_path, unopened_file_reason(file));
    return nullptr;
  }
  close(file.descriptor);
  MODULE* module = lib::Player_Load(module_path, module_channels, 0);
  if (module == nullptr) report_unusable_asset(module_path, module_load_reason().c_str());
  return module;
}

// Everything between a set-up logo and the release of the effects. A module
// that cannot be loaded ends the scene before anything shows; the result is
// then false. Without a sound driver the scene runs without music.
bool run_with_logo(Scene& scene, SceneImages& images, bool music_ready, SDL_Surface* display) {
  swap_red_blue(images.texture);
  lib::SDL_FillRect(display, nullptr, 0);
  MODULE* module = nullptr;
  if (music_ready) {
    if ((module = load_module()) == nullptr) {
      logo_free(scene.logo);
      return false;
    }
    module->wrap = 1;  // restart at its end instead of stopping
  }
  play_intro(scene, display);
  run_animated_scene(scene, images, module, display);
  return true;
}

}  // namespace

void draw_scene_frame(Scene& scene, const FrameView& frame) {
  const AnimState& state = scene.state;
  rotozoom_draw(scene.background, frame, state.angle.load(relaxed));
  text_panel_draw(scene.panel, frame);
  scroller_draw(scene.scroller, frame, scene.state.scroll_x);
  const uint8_t fade = state.fade.load(relaxed);
  if (fade != 255) fade_in_band(frame, fade);  // after the scroller, before the logo
  const int row = logo_row(scene.state, scene.logo.y);
  logo_draw(scene.logo, frame, row, state.tick.load(relaxed), state.phase.load(relaxed));
  draw_divider_lines(frame, scene.saved_divider_row.data(), upper_divider_row(scene.logo.surface->h));
}

bool run_main_scene(SDL_Surface* display) {
  std::unique_ptr<Scene> scene(new (std::nothrow) Scene{});
  if (!scene) return true;
  publish_interrupt_target(scene->state);
  const bool music_ready = prepare_music_library();
  SceneImages images{};
  bool assets_usable = load_scene_images(images) && logo_init(scene->logo);
  if (assets_usable) {
    start_logo_bounce(scene->state);
    assets_usable = run_with_logo(*scene, images, music_ready, display);
  }
  free_scene_images(images);
  withdraw_interrupt_target();
  scene.reset();
  lib::MikMod_Exit();
  return assets_usable;
}
