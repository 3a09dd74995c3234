// End-to-end harness: runs the real `intro` executable in a fresh temporary
// directory whose data/ holds the recording doubles (or the system's
// libmikmod), and hands back its output, exit status and call log.
//
//   e2e::Sandbox sandbox;                       // data/ holds the doubles and the stand-in assets
//   e2e::RunOptions options;
//   options.arguments = {"windowed"};
//   options.environment = {"INTRO_DOUBLE_EVENTS=after_flip=190:keydown=27", "INTRO_DOUBLE_SAVE_FLIPS=190"};
//   const e2e::RunResult result = sandbox.run(options);
//   e2e::expect_orderly_end(result);
//   EXPECT_EQ(sandbox.flip_frame(190).at(320, 400), 0x00ffffffu);
//
// The log lines and the doubles' switches (INTRO_DOUBLE_EVENTS, _FAIL,
// _SAVE_FLIPS, _REAL_DELAY, _INTERRUPT, _INTERRUPT_SIGNAL) are described at the top of
// tests/doubles/recording_sdl.cpp and tests/doubles/recording_mikmod.cpp; a
// test sets them in RunOptions::environment. The harness itself sets
// INTRO_DOUBLE_LOG, _SAVE_DIR, PWD, SDL_VIDEODRIVER=dummy,
// a PULSE_SERVER that is never there (so the intro takes the path of a
// machine with sound) and, for the virtual clock, LD_PRELOAD; everything else
// comes from the test's own environment minus any INTRO_DOUBLE_* variable.
#pragma once

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace e2e {

using Lines = std::vector<std::string>;

// The library files in data/ are symbolic links to the build's doubles,
// MEDIA_DOUBLE and MUSIC_DOUBLE, or to the system's SYSTEM_MIKMOD_LIBRARY.

struct RunOptions {
  Lines arguments;  // after the program name, which is "intro"
  // "NAME=value" replaces the run's variable of that name, "NAME" alone removes it.
  Lines environment;
  int interrupt_signal = SIGINT;  // the signal that interrupt_every_ms sends
  // The intro runs on the recordings' simulated clock (capture/virtual_clock.h,
  // preloaded): the double's delays and presents pass simulated time, the
  // worker threads tick on it, and nothing sleeps in real time. This runs it
  // on the real clock instead.
  bool real_time = false;
  // Sends the signal every this many real milliseconds (0: never), from the
  // moment the display opens, which is after the intro has its handler.
  int interrupt_every_ms = 0;
};

struct RunResult {
  int exit_status = -1;  // the exit code; -1 when the process did not exit by itself
  int signal = 0;        // the signal that ended the process, 0 if none
  std::string out;       // everything written to standard output
  std::string err;       // everything written to standard error
  Lines log;             // the call log of both doubles, one entry per line, in order
};

// A saved 640 × 480 frame: the 32-bit words as they were in the surface's
// memory (byte 0 blue, 1 green, 2 red, 3 alpha), row by row.
struct Frame {
  std::vector<uint32_t> pixels;
  uint32_t at(int x, int y) const { return pixels[size_t(y) * 640 + size_t(x)]; }
};

// A fresh temporary directory, removed with everything in it when the
// sandbox goes. Layout: root/run is directory, the run's working directory
// and default PWD, with data/ holding the two library links and valid
// stand-ins for the five assets, each layer of the scene in a colour of its
// own: data/data01.dt 512 × 192 and data/data02.dt 256 × 96 font sheets whose
// every cell holds an opaque bar over its left half (white; panel_ink),
// data/data03.dt a 160 × 160 logo of logo_pixel, data/data04.dt a 256 × 256
// texture of texture_pixel, and data/data05.dt a few bytes that the music
// double accepts as a module. The log, the captured output and saved frames
// live beside it in root.
struct Sandbox {
  explicit Sandbox(const char* music_library = MUSIC_DOUBLE);
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;

  const std::string root;
  const std::string directory;

  // Paths are relative to directory; each replaces what was there.
  void place_library(const std::string& name, const char* library) const;  // data/<name> a link to `library`
  void write_file(const std::string& relative, const std::string& bytes) const;
  void make_fifo(const std::string& relative) const;
  void remove_file(const std::string& relative) const;
  // An image file: image_header(width, height), then pixel(x, y) as 32-bit
  // little-endian words, row by row.
  void write_image(const std::string& relative, int width, int height,
                   const std::function<uint32_t(int x, int y)>& pixel) const;
  // Runs the intro once and waits for it (a run still going after 60 s is
  // killed and the test fails). Each run starts with an empty log and no
  // saved frames.
  RunResult run(const RunOptions& options = {}) const;

  // A frame saved by the last run (INTRO_DOUBLE_SAVE_FLIPS); one missing or
  // one of another size fails the test and gives an empty frame.
  Frame flip_frame(long number) const;
};

constexpr uint32_t panel_ink = 0xffff00ff;
constexpr uint32_t logo_pixel = 0x64ffffff;     // white at alpha 100
constexpr uint32_t texture_pixel = 0xff00e0c0;  // bytes 0 and 2 are exchanged when it is loaded

// The 6-byte header of an image file: width, height and depth, each a
// 16-bit little-endian number.
std::string image_header(int width, int height, int depth = 32);

// ---- What every run's log is checked with.

std::string read_file(const std::string& path);
Lines lines_of(const std::string& text);
// The lines that start with any of `prefixes`, in order.
Lines matching(const Lines& lines, const Lines& prefixes);

inline bool starts_with(const std::string& line, const std::string& prefix) {
  return line.compare(0, prefix.size(), prefix) == 0;
}
inline Lines tail(const Lines& lines, size_t count) {
  return Lines(lines.end() - long(std::min(count, lines.size())), lines.end());
}
// Where the first line equal to `line` is (the number of lines if none).
inline size_t index_of(const Lines& lines, const std::string& line) {
  return size_t(std::find(lines.begin(), lines.end(), line) - lines.begin());
}
inline Lines& operator+=(Lines& lines, const Lines& more) {
  lines.insert(lines.end(), more.begin(), more.end());
  return lines;
}
inline Lines times(int count, const Lines& step) {  // `step` repeated
  Lines lines;
  for (int i = 0; i < count; ++i) lines += step;
  return lines;
}

constexpr long intro_flips = 23 + 160 + 1;  // logo rise, divider lines, the finished lines
constexpr int credit_bytes = 113;

// The group of an event script whose events are taken in frame `frame` of
// the loop, Escape by default.
inline std::string in_frame(long frame, const std::string& events = "keydown=27") {
  return "after_flip=" + std::to_string(intro_flips + frame - 1) + ":" + events;
}

// The calls that pace what is seen: presents, waits, display clears and polls.
Lines pacing(const Lines& log);
// What follows the scene in every run: fade, the credits typed one byte a
// frame (none when the page cannot be shown), the hold, fade.
Lines closing_pacing(int typed_bytes = credit_bytes);

// Nothing on standard output and `err` on standard error; exit status
// `status` and no signal; the music library shut down before the closing,
// which follows as it should; then the media library shut down and both
// libraries unloaded, the music library first, neither reporting a leak.
void expect_orderly_end(const RunResult& result, const std::string& err = "", int status = 0,
                        int typed_bytes = credit_bytes);

}  // namespace e2e
