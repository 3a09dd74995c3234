// Capture media library: stands in for SDL 1.2 as data/sdl.library and turns
// what the intro presents into a 640 × 480 video stream of 60 frames per
// second, by the monotonic clock, written as raw bgr0 pictures to the path in
// INTRO_CAPTURE_VIDEO (a named pipe that the encoder reads).
//
// The display lives in memory. Slot 0 of the stream lies at the moment the
// display opens and shows it as it opened (black); every later slot shows the
// picture presented most recently (frame_slots.h). After
// INTRO_CAPTURE_SCENE_SECONDS of the main scene, counted from the scene's
// first look at its input, SDL_PollEvent delivers one Escape key press.
//
// With INTRO_CAPTURE_PRESENTED_LOG set, every picture the intro presents (and
// the display as it opened) is logged there as one line: a hash of its pixels
// with byte 3 cleared, so a recording can be checked against what was shown.
#include <SDL/SDL.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "frame_slots.h"
#include "stream_writer.h"

#define CAPTURE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr int video_width = 640;
constexpr int video_height = 480;
constexpr int video_depth = 32;
constexpr int video_rate = 60;
constexpr size_t picture_bytes = size_t(video_width) * video_height * 4;
// Pictures waiting for the encoder before a present waits: about ten seconds.
constexpr size_t video_queue_limit = 600 * picture_bytes;
constexpr double default_scene_seconds = 30.0;
constexpr double reader_wait_seconds = 10.0;

struct MediaCapture {
  SDL_Surface* display = nullptr;
  FrameSlots slots;
  StreamWriter video;
  std::shared_ptr<std::vector<uint8_t>> latest;  // the picture shown now
  int64_t scene_start_ns = -1;  // first SDL_PollEvent
  bool escape_delivered = false;
  int64_t repeated_before_scene = 0;  // slots repeated before the scene's first frame
  int64_t repeated_in_scene = -1;     // slots repeated while the scene drew frames
  double scene_seconds = default_scene_seconds;
  double expected_seconds = 0;  // for the progress line; 0 when unknown
  int64_t last_progress_ns = 0;
  bool progress_on_tty = false;
  std::string error;
  FILE* presented_log = nullptr;
};

// Never destroyed: the picture stream is finished by SDL_Quit or by
// finish_on_unload, whatever order the library's finalisers run in.
MediaCapture& capture = *new MediaCapture;
std::atomic<int64_t> origin_ns{-1};
std::atomic<int64_t> end_ns{-1};

double seconds_from_env(const char* name, double fallback) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0') return fallback;
  char* end = nullptr;
  const double value = std::strtod(text, &end);
  return (*end == '\0' && std::isfinite(value) && value >= 0) ? value : fallback;
}

SDL_Surface* new_surface(Uint32 flags, int width, int height) {
  auto* surface = static_cast<SDL_Surface*>(std::calloc(1, sizeof(SDL_Surface)));
  auto* format = static_cast<SDL_PixelFormat*>(std::calloc(1, sizeof(SDL_PixelFormat)));
  if (surface == nullptr || format == nullptr) {
    std::free(surface);
    std::free(format);
    return nullptr;
  }
  // The layout of a 32-bit SDL 1.2 surface: byte 0 blue, byte 1 green, byte 2 red.
  format->BitsPerPixel = 32;
  format->BytesPerPixel = 4;
  format->Rmask = 0xff0000;
  format->Gmask = 0xff00;
  format->Bmask = 0xff;
  format->Rshift = 16;
  format->Gshift = 8;
  surface->flags = flags;
  surface->format = format;
  surface->w = width;
  surface->h = height;
  surface->pitch = Uint16(width * 4);
  surface->pixels = std::calloc(size_t(width) * size_t(height), 4);
  surface->clip_rect.w = Uint16(width);
  surface->clip_rect.h = Uint16(height);
  surface->refcount = 1;
  if (surface->pixels == nullptr && width > 0 && height > 0) {
    std::free(format);
    std::free(surface);
    return nullptr;
  }
  return surface;
}

void delete_surface(SDL_Surface* surface) {
  std::free(surface->pixels);
  std::free(surface->format);
  std::free(surface);
}

void print_progress(int64_t now_ns, bool final) {
  const bool due = now_ns - capture.last_progress_ns >= (capture.progress_on_tty ? 250000000 : 5000000000LL);
  if (!final && !due) return;
  capture.last_progress_ns = now_ns;
  const double seconds = frame_slots_seconds(capture.slots);
  const char* start = capture.progress_on_tty ? "\r" : "";
  const char* end = capture.progress_on_tty && !final ? "" : "\n";
  if (capture.expected_seconds > 0)
    std::fprintf(stderr, "%srecording: %.1f s of about %.1f s, %lld frames dropped%s", start, seconds,
                 capture.expected_seconds, static_cast<long long>(capture.slots.dropped), end);
  else
    std::fprintf(stderr, "%srecording: %.1f s, %lld frames dropped%s", start, seconds,
                 static_cast<long long>(capture.slots.dropped), end);
  std::fflush(stderr);
}

// Hands the slots that the outgoing picture fills to the stream; the picture
// is shared with the queue from then on, so a new one gets a fresh buffer.
void emit_latest(int64_t slots_filled) {
  if (slots_filled <= 0) return;
  stream_push(capture.video, Chunk{capture.latest, slots_filled});
  capture.latest = std::make_shared<std::vector<uint8_t>>(picture_bytes);
}

// FNV-1a over pairs of pixels; byte 3 is not part of the picture.
uint64_t picture_hash(const uint8_t* picture) {
  uint64_t hash = 1469598103934665603ull;
  for (size_t i = 0; i < picture_bytes; i += 8) {
    uint64_t pair;
    std::memcpy(&pair, picture + i, 8);
    hash ^= pair & 0x00ffffff00ffffffull;
    hash *= 1099511628211ull;
  }
  return hash;
}

void log_presented(const std::vector<uint8_t>& picture) {
  if (capture.presented_log != nullptr)
    std::fprintf(capture.presented_log, "%016llx\n", static_cast<unsigned long long>(picture_hash(picture.data())));
}

void present(SDL_Surface* surface) {
  if (surface == nullptr || surface != capture.display) return;
  const int64_t now = monotonic_ns();
  emit_latest(frame_slots_present(capture.slots, now));
  std::memcpy(capture.latest->data(), capture.display->pixels, picture_bytes);
  log_presented(*capture.latest);
  print_progress(now, false);
}

void close_capture() {
  if (capture.display == nullptr) return;
  const int64_t now = monotonic_ns();
  emit_latest(frame_slots_close(capture.slots, now));
  end_ns.store(capture.slots.origin_ns + capture.slots.next_slot * 1000000000 / video_rate);
  stream_finish(capture.video, reader_wait_seconds);
  print_progress(now, true);
  // Repeats outside the scene come from the intro's own waits; inside it, a
  // repeat means the intro drew no new frame in time.
  std::fprintf(stderr,
               "capture: %lld frames of video, %lld presented frames dropped, %lld frames repeated "
               "(%lld of them during the scene)\n",
               static_cast<long long>(capture.slots.next_slot), static_cast<long long>(capture.slots.dropped),
               static_cast<long long>(capture.slots.repeated),
               static_cast<long long>(std::max<int64_t>(capture.repeated_in_scene, 0)));
  if (capture.presented_log != nullptr) std::fclose(capture.presented_log);
  capture.presented_log = nullptr;
  delete_surface(capture.display);
  capture.display = nullptr;
  capture.latest.reset();
}

bool escape_due() {
  if (capture.escape_delivered) return false;
  const int64_t now = monotonic_ns();
  if (capture.scene_start_ns < 0) {
    capture.scene_start_ns = now;
    capture.repeated_before_scene = capture.slots.repeated;
  }
  // A stream nobody reads any more ends the scene at once: the rest of the
  // run is then only waited through.
  return now - capture.scene_start_ns >= int64_t(capture.scene_seconds * 1e9) || stream_broken(capture.video);
}

}  // namespace

// The time of slot 0 on the monotonic clock, or -1 before the display opened.
// The capture music library starts its sound stream at the same moment.
CAPTURE_EXPORT long long intro_capture_origin_ns() { return origin_ns.load(); }

// The end of the picture stream on the same clock, or -1 while it runs. The
// sound stream ends there too, however long the encoder then takes to read
// what is queued.
CAPTURE_EXPORT long long intro_capture_end_ns() { return end_ns.load(); }

CAPTURE_EXPORT SDL_Surface* SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags) {
  if (capture.display != nullptr) return capture.display;
  if (width != video_width || height != video_height || bpp != video_depth) {
    capture.error = "the capture records a 640x480x32 display only";
    return nullptr;
  }
  const char* video_path = std::getenv("INTRO_CAPTURE_VIDEO");
  if (video_path == nullptr || *video_path == '\0') {
    capture.error = "INTRO_CAPTURE_VIDEO (where the picture stream goes) is not set";
    return nullptr;
  }
  capture.display = new_surface(flags, width, height);
  if (capture.display == nullptr) {
    capture.error = "out of memory";
    return nullptr;
  }
  capture.scene_seconds = seconds_from_env("INTRO_CAPTURE_SCENE_SECONDS", default_scene_seconds);
  capture.expected_seconds = seconds_from_env("INTRO_CAPTURE_TOTAL_SECONDS", 0);
  capture.progress_on_tty = isatty(STDERR_FILENO) != 0;
  capture.latest = std::make_shared<std::vector<uint8_t>>(picture_bytes);  // the display opens black
  if (const char* log_path = std::getenv("INTRO_CAPTURE_PRESENTED_LOG"); log_path != nullptr && *log_path != '\0')
    capture.presented_log = std::fopen(log_path, "w");
  log_presented(*capture.latest);
  stream_start(capture.video, video_path, "the picture stream", video_queue_limit);
  const int64_t now = monotonic_ns();
  capture.slots = frame_slots_start(now, video_rate);
  capture.last_progress_ns = now;
  origin_ns.store(now);
  return capture.display;
}

CAPTURE_EXPORT SDL_Surface* SDL_CreateRGBSurface(Uint32 flags, int width, int height, int depth, Uint32,
                                                 Uint32, Uint32, Uint32) {
  if (depth != 32 || width < 0 || height < 0) {
    capture.error = "the capture makes 32-bit surfaces only";
    return nullptr;
  }
  return new_surface(flags, width, height);
}

CAPTURE_EXPORT int SDL_ShowCursor(int) { return 0; }

// Like the real library, freeing the display does nothing: SDL_Quit does.
CAPTURE_EXPORT void SDL_FreeSurface(SDL_Surface* surface) {
  if (surface != nullptr && surface != capture.display) delete_surface(surface);
}

CAPTURE_EXPORT int SDL_Flip(SDL_Surface* surface) {
  present(surface);
  return 0;
}

// The whole display is the picture: an updated rectangle shows over what the
// screen already held.
CAPTURE_EXPORT void SDL_UpdateRect(SDL_Surface* surface, Sint32, Sint32, Uint32, Uint32) { present(surface); }

CAPTURE_EXPORT int SDL_FillRect(SDL_Surface* dst, SDL_Rect* rect, Uint32 color) {
  if (dst == nullptr || dst->pixels == nullptr) return -1;
  int x0 = 0, y0 = 0, x1 = dst->w, y1 = dst->h;
  if (rect != nullptr) {  // clipped to the surface, as the real library does
    x0 = std::max(0, int(rect->x));
    y0 = std::max(0, int(rect->y));
    x1 = std::min(dst->w, rect->x + int(rect->w));
    y1 = std::min(dst->h, rect->y + int(rect->h));
  }
  auto* pixels = static_cast<Uint32*>(dst->pixels);
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) pixels[size_t(y) * size_t(dst->w) + size_t(x)] = color;
  return 0;
}

CAPTURE_EXPORT void SDL_Delay(Uint32 ms) {
  timespec left{time_t(ms / 1000), long(ms % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
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
  capture.repeated_in_scene = capture.slots.repeated - capture.repeated_before_scene;
  return 1;
}

CAPTURE_EXPORT void SDL_Quit() { close_capture(); }

CAPTURE_EXPORT char* SDL_GetError() { return const_cast<char*>(capture.error.c_str()); }

// A program that ends without SDL_Quit still leaves a complete stream.
__attribute__((destructor)) static void finish_on_unload() { close_capture(); }
