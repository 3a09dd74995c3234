// End-to-end harness: runs the real `intro` executable in a fresh temporary
// directory whose data/ holds the recording doubles (or the system's SDL 1.2
// and libmikmod), and hands back its output, exit status and call log.
//
//   e2e::Sandbox sandbox;                       // data/sdl.library, data/mikmod.library = the doubles
//   sandbox.write_image("data/data04.dt", 256, 256, texture_pixels);
//   e2e::RunOptions options;
//   options.arguments = {"windowed"};
//   options.environment = {{"INTRO_DOUBLE_EVENTS", "after_flip=100:keydown=27"}};
//   options.save_flips = {1, 100};
//   e2e::RunResult result = sandbox.run(options);
//   EXPECT_EQ(result.exit_status, 0);
//   EXPECT_EQ(result.calls_starting_with("SDL_SetVideoMode")[0], "SDL_SetVideoMode 640 480 32 0x0");
//   e2e::Frame frame = sandbox.flip_frame(100);
//   EXPECT_EQ(frame.at(320, 400), 0x00ffffffu);
//
// The log lines and the doubles' switches (INTRO_DOUBLE_EVENTS, _FAIL, _HOLD,
// _REAL_DELAY, _INTERRUPT) are described at the top of
// tests/doubles/recording_sdl.cpp and tests/doubles/recording_mikmod.cpp. The
// harness itself sets INTRO_DOUBLE_LOG, INTRO_DOUBLE_SAVE_DIR/_FLIPS,
// _INTERRUPT/_INTERRUPT_SIGNAL, PWD, SDL_VIDEODRIVER=dummy, a PULSE_SERVER
// that is never there (so the intro takes the path of a machine with sound)
// and, for the virtual clock, LD_PRELOAD; everything else comes from the
// test's own environment minus any INTRO_DOUBLE_* variable.
#pragma once

#include <csignal>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

using Lines = std::vector<std::string>;

// What a library file in data/ is: a symbolic link to one of these.
enum class Library { media_double, music_double, system_sdl, system_mikmod };

// An interrupt sent right after the `count`-th call log line that starts
// with `on`, by the double that logs it (so exactly then, in simulated time).
struct InterruptPoint {
  std::string on;
  int count = 1;
};

struct RunOptions {
  std::vector<std::string> arguments;  // after the program name, which is "intro"
  // Added to the run's environment, replacing a variable of the same name.
  std::vector<std::pair<std::string, std::string>> environment;
  std::optional<std::string> pwd;  // PWD for the run; by default the sandbox directory
  bool unset_pwd = false;          // run with no PWD at all
  // SDL_Flip calls (counted from 1) whose surface is saved, to be read back
  // with Sandbox::flip_frame.
  std::vector<long> save_flips;
  // The signal that the interrupt points and interrupt_every_ms send.
  int interrupt_signal = SIGINT;
  // Each sends the signal once, whatever their order (e.g. {"SDL_ShowCursor"},
  // or {"SDL_Flip", 50}); only the doubles log, so only they take these.
  std::vector<InterruptPoint> interrupt_points;
  // Sends the signal every this many real milliseconds until the run ends (0:
  // never), from the moment the intro has its handler installed.
  // Interrupts outside the main scene are ignored, so this ends a run whose
  // log cannot be watched, such as one with the system's libraries.
  int interrupt_every_ms = 0;
  // With the media double the intro runs on the recordings' simulated clock
  // (capture/virtual_clock.h, preloaded): the double's delays and presents
  // pass simulated time, the worker threads tick on it, and nothing sleeps in
  // real time. This runs it on the real clock instead; so does the system's
  // media library, which knows nothing of the simulated one.
  bool real_time = false;
  // A run still going after this long is killed and the test fails.
  int timeout_seconds = 60;
};

struct RunResult {
  int exit_status = -1;  // the exit code; -1 when the process did not exit by itself
  int signal = 0;        // the signal that ended the process, 0 if none
  bool timed_out = false;
  // For every interrupt point reached, in the order of the log: how many log
  // lines had been written when its signal was sent.
  std::vector<size_t> log_lines_at_interrupts;
  std::string out;           // everything written to standard output
  std::string err;           // everything written to standard error
  Lines log;              // the call log of both doubles, one entry per line, in order

  // The log lines that start with `prefix` ("SDL_" for every media call).
  Lines calls_starting_with(const std::string& prefix) const;
};

// A saved frame. Pixels are the 32-bit words as they were in the surface's
// memory (byte 0 blue, 1 green, 2 red, 3 alpha), row by row.
struct Frame {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  uint32_t at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

// A fresh temporary directory, removed with everything in it when the
// sandbox goes. Layout: root()/run is directory(), the run's working
// directory and default PWD, with data/ holding the two library links;
// the log, the captured output and saved frames live beside it in root().
class Sandbox {
 public:
  explicit Sandbox(Library media = Library::media_double, Library music = Library::music_double);
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  const std::string& directory() const { return directory_; }
  const std::string& root() const { return root_; }

  // Makes data/<name> (e.g. "sdl.library") a link to `library`, replacing it.
  void place_library(const std::string& name, Library library) const;
  // Paths are relative to directory(); parents are created as needed.
  void write_file(const std::string& relative, const std::string& bytes) const;
  void remove_file(const std::string& relative) const;
  // An image file: image_header(width, height) and the pixels as 32-bit
  // little-endian words, row by row.
  void write_image(const std::string& relative, int width, int height,
                   const std::vector<uint32_t>& pixels) const;
  // Small valid stand-ins for the five assets, for runs that only need the
  // scene to get through its set-up: data/data01.dt 512 × 192 and
  // data/data02.dt 256 × 96 font sheets (every cell holds an opaque white
  // bar over its left half), data/data03.dt a 320 × 100 opaque logo,
  // data/data04.dt a 256 × 256 opaque checkerboard, and data/data05.dt a few
  // bytes that the music double accepts as a module (the system's libmikmod
  // does not).
  void write_stand_in_assets() const;
  // Links the five assets that the build generated into data/ (the ones a
  // real run shows, with a module the system's libmikmod plays).
  void link_generated_assets() const;

  // Runs the intro once and waits for it. Each run starts with an empty log
  // and no saved frames.
  RunResult run(const RunOptions& options = {}) const;

  // A frame saved by the last run (see RunOptions::save_flips); a missing or
  // malformed one fails the test and gives an empty frame.
  Frame flip_frame(long number) const;

 private:
  std::string root_;
  std::string directory_;
  Library media_;
};

// The 6-byte header of an image file: width, height and depth, each a
// 16-bit little-endian number.
std::string image_header(int width, int height, int depth = 32);

// ---- What every run's log is checked with.

std::string read_file(const std::string& path);
bool starts_with(const std::string& line, const std::string& prefix);
Lines lines_of(const std::string& text);
Lines tail(const Lines& lines, size_t count);
long count_of(const Lines& lines, const std::string& prefix);  // lines starting with `prefix`
// Where the first line equal to `line` is (the number of lines if none).
size_t index_of(const Lines& lines, const std::string& line);
void repeat(Lines& lines, int times, const Lines& step);
void append(Lines& lines, const Lines& more);

constexpr long intro_flips = 23 + 160 + 1;     // logo rise, divider lines, the finished lines
constexpr long closing_flips = 20 + 113 + 20;  // fade, credits, fade
constexpr int credit_bytes = 113;

// The calls that pace what is seen: presents, waits, display clears and polls.
Lines pacing(const Lines& log);
// The intro of a logo `width` × `height`: the clear, the fade-in of the
// centred logo, the rise, the pause and the growing divider lines.
Lines intro_pacing(int width, int height);
// What follows the scene in every run: fade, the credits typed one byte a
// frame (none when the page cannot be shown), the hold, fade.
Lines closing_pacing(int typed_bytes = credit_bytes);

// No signal, the media library shut down, then both libraries unloaded, the
// music library first, and neither reporting a leak.
void expect_orderly_end(const RunResult& result);

}  // namespace e2e
