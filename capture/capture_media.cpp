// Capture media library: stands in for SDL 1.2 as data/sdl.library and turns
// what the intro presents into a 640 × 480 video stream of INTRO_CAPTURE_FPS
// frames per simulated second (60 when unset), written as raw bgr0 pictures
// to the path in INTRO_CAPTURE_VIDEO (a named pipe that the encoder reads).
//
// The run follows the virtual clock (virtual_clock.h), which record-intro.sh
// preloads: SDL_Delay passes simulated time, and so does every present
// (memory_display::present_cost_ns). Frame k lies at k / fps simulated seconds
// and shows the picture presented most recently at or before that moment (the
// display as it opened, black, before the first present). The stream ends
// with the first frame at or after the moment the intro shuts the display, so
// the last picture presented always ends it: a run of T simulated seconds
// gives ceil(T × fps) + 1 frames. The capture music library's sound stream is
// kept level with the picture after every wait and present, and ends with it.
//
// After INTRO_CAPTURE_SCENE_MS milliseconds of simulated scene time, counted
// from the scene's first look at its input, SDL_PollEvent delivers one Escape
// key press. INTRO_CAPTURE_TOTAL_SECONDS, the run's simulated length, is shown
// in the progress line.
#include <SDL/SDL.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "memory_display.h"
#include "stream_writer.h"
#include "virtual_clock.h"

#define CAPTURE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr int video_width = 640;
constexpr int video_height = 480;
constexpr int video_depth = 32;
constexpr int default_fps = 60;
constexpr int64_t ns_per_second = 1000000000;
constexpr size_t picture_bytes = size_t(video_width) * video_height * 4;
// Pictures waiting for the encoder before a present waits. The intro outruns
// the encoder, so this is how much memory the queue takes.
constexpr size_t video_queue_limit = 60 * picture_bytes;
constexpr int64_t default_scene_ms = 30000;
constexpr double reader_wait_seconds = 10.0;

struct MediaCapture {
  SDL_Surface* display = nullptr;
  int fps = default_fps;
  int64_t frames_decided = 0;  // frames whose picture has gone to the stream
  StreamWriter video;
  std::shared_ptr<std::vector<uint8_t>> latest;  // the picture shown now
  int64_t scene_start_ns = -1;  // first SDL_PollEvent
  int64_t scene_ns = default_scene_ms * 1000000;
  bool escape_delivered = false;
  double total_seconds = 0;  // for the progress line; 0 when unknown
  int64_t real_start_ns = 0;
  int64_t last_progress_ns = 0;  // real time of the last progress line
  bool progress_on_tty = false;
  std::string error;
};

// Never destroyed: the picture stream is finished by SDL_Quit or by
// finish_on_unload, whatever order the library's finalisers run in.
MediaCapture& capture = *new MediaCapture;

// A whole number from the environment: `fallback` when unset, -1 when malformed.
long long whole_from_env(const char* name, long long fallback) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0') return fallback;
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text, &end, 10);
  return (*end == '\0' && errno == 0 && value >= 0) ? value : -1;
}

// The capture music library keeps its sound stream level with the picture;
// absent (another music library) nothing is asked of it.
using SoundFn = void (*)(long long);
SoundFn sound_entry(const char* name) { return reinterpret_cast<SoundFn>(dlsym(RTLD_DEFAULT, name)); }

void sound_until(int64_t now_ns) {
  static const SoundFn until = sound_entry("intro_capture_sound_until");
  if (until != nullptr) until(now_ns);
}

// Frames that lie before `now_ns`: frame k does when k × 10^9 < fps × now.
int64_t frames_before(int64_t now_ns) { return (now_ns * capture.fps + ns_per_second - 1) / ns_per_second; }

void print_progress(bool final) {
  const int64_t real_now = monotonic_ns();
  const bool due = real_now - capture.last_progress_ns >= (capture.progress_on_tty ? 250000000 : 5000000000LL);
  if (!final && !due) return;
  capture.last_progress_ns = real_now;
  const double simulated = double(intro_clock_now_ns()) / ns_per_second;
  const double real = double(real_now - capture.real_start_ns) / ns_per_second;
  const char* start = capture.progress_on_tty ? "\r" : "";
  const char* end = capture.progress_on_tty && !final ? "" : "\n";
  std::fprintf(stderr, "%srecording: %.1f", start, simulated);
  if (capture.total_seconds > 0) std::fprintf(stderr, "/%.1f", capture.total_seconds);
  std::fprintf(stderr, " s simulated, %.1fx real time%s", real > 0 ? simulated / real : 0.0, end);
  std::fflush(stderr);
}

// Hands the current picture to the stream for the frames up to (not
// including) `end_frame`; it is shared with the queue from then on, so the
// next picture gets a fresh buffer.
void decide_frames_until(int64_t end_frame) {
  const int64_t count = end_frame - capture.frames_decided;
  if (count <= 0) return;
  stream_push(capture.video, Chunk{capture.latest, count});
  capture.frames_decided = end_frame;
  capture.latest = std::make_shared<std::vector<uint8_t>>(picture_bytes);
}

// Simulated time has passed: the sound follows, the user sees how far it got.
void time_passed() {
  sound_until(intro_clock_now_ns());
  print_progress(false);
}

void present(SDL_Surface* surface) {
  if (surface == nullptr || surface != capture.display) return;
  decide_frames_until(frames_before(intro_clock_now_ns()));
  std::memcpy(capture.latest->data(), capture.display->pixels, picture_bytes);
  memory_display::pass_present();
  time_passed();
}

void close_capture() {
  if (capture.display == nullptr) return;
  const int64_t end_frame = frames_before(intro_clock_now_ns()) + 1;
  decide_frames_until(end_frame);
  // The sound ends exactly with the last frame: ceil keeps every sample of it.
  static const SoundFn end = sound_entry("intro_capture_sound_end");
  if (end != nullptr) end((end_frame * ns_per_second + capture.fps - 1) / capture.fps);
  stream_finish(capture.video, reader_wait_seconds);
  print_progress(true);
  memory_display::delete_surface(capture.display);
  capture.display = nullptr;
  capture.latest.reset();
}

bool escape_due() {
  if (capture.escape_delivered) return false;
  const int64_t now = intro_clock_now_ns();
  if (capture.scene_start_ns < 0) capture.scene_start_ns = now;
  // A stream nobody reads any more ends the scene at once: the rest of the
  // run is then only passed through.
  return now - capture.scene_start_ns >= capture.scene_ns || stream_broken(capture.video);
}

// What SDL_SetVideoMode needs before it opens the display; false with the reason in capture.error.
bool configure() {
  if (!virtual_clock_runs()) {
    capture.error = "the capture runs on the virtual clock: record through record-intro.sh";
    return false;
  }
  const char* video_path = std::getenv("INTRO_CAPTURE_VIDEO");
  if (video_path == nullptr || *video_path == '\0') {
    capture.error = "INTRO_CAPTURE_VIDEO (where the picture stream goes) is not set";
    return false;
  }
  const long long fps = whole_from_env("INTRO_CAPTURE_FPS", default_fps);
  const long long scene_ms = whole_from_env("INTRO_CAPTURE_SCENE_MS", default_scene_ms);
  if (fps < 1 || fps > 1000 || scene_ms < 0) {
    capture.error = "INTRO_CAPTURE_FPS or INTRO_CAPTURE_SCENE_MS is not a usable whole number";
    return false;
  }
  capture.fps = int(fps);
  capture.scene_ns = scene_ms * 1000000;
  const char* total = std::getenv("INTRO_CAPTURE_TOTAL_SECONDS");
  capture.total_seconds = total != nullptr ? std::atof(total) : 0;
  stream_start(capture.video, video_path, "the picture stream", video_queue_limit);
  return true;
}

}  // namespace

CAPTURE_EXPORT SDL_Surface* SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags) {
  if (capture.display != nullptr) return capture.display;
  if (width != video_width || height != video_height || bpp != video_depth) {
    capture.error = "the capture records a 640x480x32 display only";
    return nullptr;
  }
  capture.display = memory_display::new_surface(flags, width, height, bpp);
  if (capture.display == nullptr) {
    capture.error = "out of memory";
    return nullptr;
  }
  if (!configure()) {
    memory_display::delete_surface(capture.display);
    capture.display = nullptr;
    return nullptr;
  }
  capture.progress_on_tty = isatty(STDERR_FILENO) != 0;
  capture.latest = std::make_shared<std::vector<uint8_t>>(picture_bytes);  // the display opens black
  capture.real_start_ns = capture.last_progress_ns = monotonic_ns();
  return capture.display;
}

CAPTURE_EXPORT SDL_Surface* SDL_CreateRGBSurface(Uint32 flags, int width, int height, int depth, Uint32,
                                                 Uint32, Uint32, Uint32) {
  SDL_Surface* surface = nullptr;
  if (depth == 32 && width >= 0 && height >= 0) surface = memory_display::new_surface(flags, width, height, depth);
  if (surface == nullptr) capture.error = "the capture makes 32-bit surfaces only, while memory lasts";
  return surface;
}

CAPTURE_EXPORT int SDL_ShowCursor(int) { return 0; }

// Like the real library, freeing the display does nothing: SDL_Quit does.
CAPTURE_EXPORT void SDL_FreeSurface(SDL_Surface* surface) {
  if (surface != nullptr && surface != capture.display) memory_display::delete_surface(surface);
}

CAPTURE_EXPORT int SDL_Flip(SDL_Surface* surface) {
  present(surface);
  return 0;
}

// The whole display is the picture: an updated rectangle shows over what the
// screen already held.
CAPTURE_EXPORT void SDL_UpdateRect(SDL_Surface* surface, Sint32, Sint32, Uint32, Uint32) { present(surface); }

CAPTURE_EXPORT int SDL_FillRect(SDL_Surface* dst, SDL_Rect* rect, Uint32 color) {
  return memory_display::fill_rect(dst, rect, color);
}

CAPTURE_EXPORT void SDL_Delay(Uint32 ms) {
  memory_display::pass_delay(ms);
  time_passed();
}

// The only event ever pending is the Escape press that ends the main scene.
CAPTURE_EXPORT int SDL_PollEvent(SDL_Event* event) {
  if (!escape_due()) return 0;
  if (event == nullptr) return 1;  // a peek leaves the event pending
  std::memset(event, 0, sizeof(*event));
  event->type = SDL_KEYDOWN;
  event->key.type = SDL_KEYDOWN;
  event->key.state = SDL_PRESSED;
  event->key.keysym.sym = SDLK_ESCAPE;
  capture.escape_delivered = true;
  return 1;
}

CAPTURE_EXPORT void SDL_Quit() { close_capture(); }

CAPTURE_EXPORT char* SDL_GetError() { return const_cast<char*>(capture.error.c_str()); }

// A program that ends without SDL_Quit still leaves a complete stream.
__attribute__((destructor)) static void finish_on_unload() { close_capture(); }
