// End-to-end harness: runs the real `intro` executable in a fresh temporary
// directory whose data/ holds the recording doubles (or the system's
// libmikmod), and hands back its output, exit status and call log.
//
//   e2e::Sandbox sandbox;  // data/ holds the doubles and the stand-in assets
//   const e2e::RunResult result =
//       sandbox.run({{"INTRO_DOUBLE_EVENTS=after_flip=190:keydown=27", "INTRO_DOUBLE_SAVE_FLIPS=190"}, {"windowed"}});
//   e2e::expect_orderly_end(result);
//   EXPECT_EQ(sandbox.flip_frame(190)[400 * 640 + 320], 0x00ffffffu);
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

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace e2e {

using Lines = std::vector<std::string>;

inline Lines& operator+=(Lines& lines, const Lines& more) {
  lines.insert(lines.end(), more.begin(), more.end());
  return lines;
}

inline std::string read_file(const std::string& path) {  // "" for a file missing
  std::ostringstream bytes;
  bytes << std::ifstream(path, std::ios::binary).rdbuf();
  return bytes.str();
}

// The 6-byte header of a 32-bit image file: width, height and depth, each a
// 16-bit little-endian number.
inline std::string image_header(int width, int height) {
  std::string bytes;
  for (int field : {width, height, 32}) bytes += {char(field & 0xff), char((field >> 8) & 0xff)};
  return bytes;
}

struct RunOptions {
  // "NAME=value" replaces the run's variable of that name, "NAME" alone removes it.
  Lines environment;
  Lines arguments = {};  // after the program name, which is "intro"
  // The intro runs on the recordings' simulated clock (capture/virtual_clock.h,
  // preloaded): the double's delays and presents pass simulated time, the
  // worker threads tick on it, and nothing sleeps in real time. This runs it
  // on the real clock instead.
  bool real_time = false;
  // Sends interrupt_signal every this many real milliseconds (0: never), from
  // the moment the display opens, which is after the intro has its handler.
  int interrupt_every_ms = 0;
  int interrupt_signal = SIGINT;
};

struct RunResult {
  int exit_status = -1;  // the exit code, or 128 + the signal that ended the process, as a shell says
  std::string out;       // everything written to standard output
  std::string err;       // everything written to standard error
  Lines log;             // the call log of both doubles, one entry per line, in order
};

constexpr uint32_t panel_ink = 0xffff00ff;
constexpr uint32_t logo_pixel = 0x64ffffff;     // white at alpha 100
constexpr uint32_t texture_pixel = 0xff00e0c0;  // bytes 0 and 2 are exchanged when it is loaded

namespace fs = std::filesystem;

// A fresh temporary directory, removed with everything in it when the
// sandbox goes. Layout: root/run is directory, the run's working directory
// and default PWD, with data/ holding the two library links (to the build's
// doubles) and valid stand-ins for the five assets, each layer of the scene
// in a colour of its own: data/data01.dt 512 × 192 and data/data02.dt
// 256 × 96 font sheets whose every cell holds an opaque bar over its left
// half (white; panel_ink), data/data03.dt a 160 × 160 logo of logo_pixel,
// data/data04.dt a 256 × 256 texture of texture_pixel, and data/data05.dt a
// few bytes that the music double accepts as a module.
struct Sandbox {
  const std::string root = temporary_directory();
  const std::string directory = root + "/run";

  Sandbox() { restore(); }
  ~Sandbox() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }
  Sandbox(const Sandbox&) = delete;

  // Puts back data/ as it was made, undoing a test's changes to it.
  void restore() const {
    fs::create_directories(directory + "/data");
    place_library("sdl.library", MEDIA_DOUBLE);
    place_library("mikmod.library", MUSIC_DOUBLE);
    write_image("data/data01.dt", 512, 192, [](int x, int) { return x % 32 < 16 ? 0xffffffffu : 0u; });
    write_image("data/data02.dt", 256, 96, [](int x, int) { return x % 16 < 8 ? panel_ink : 0u; });
    write_image("data/data03.dt", 160, 160, [](int, int) { return logo_pixel; });
    write_image("data/data04.dt", 256, 256, [](int, int) { return texture_pixel; });
    write_file("data/data05.dt", "stand-in module");
  }

  // Paths are relative to directory; each replaces what was there (never
  // writing through a link to the build's doubles).
  void place_library(const std::string& name, const char* library) const {  // data/<name> a link to `library`
    remove_file("data/" + name);
    fs::create_symlink(library, directory + "/data/" + name);
  }
  void write_file(const std::string& relative, const std::string& bytes) const {
    remove_file(relative);
    std::ofstream(directory + "/" + relative, std::ios::binary) << bytes;
  }
  void make_fifo(const std::string& relative) const {
    remove_file(relative);
    if (mkfifo((directory + "/" + relative).c_str(), 0644) != 0) ADD_FAILURE() << "cannot make " << relative;
  }
  void remove_file(const std::string& relative) const { std::remove((directory + "/" + relative).c_str()); }
  // An image file: image_header(width, height), then pixel(x, y) as 32-bit
  // little-endian words, row by row.
  void write_image(const std::string& relative, int width, int height,
                   const std::function<uint32_t(int x, int y)>& pixel) const {
    std::string bytes = image_header(width, height);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        for (int shift = 0; shift < 32; shift += 8) bytes += char((pixel(x, y) >> shift) & 0xff);
    write_file(relative, bytes);
  }

  // Runs the intro once and waits for it (a run still going after 60 s is
  // ended by its alarm, and the test fails). Each run starts with an empty
  // root/output, for its log, captured output and saved frames.
  RunResult run(const RunOptions& options = {}) const {
    fs::remove_all(root + "/output");
    fs::create_directories(root + "/output");
    const std::string log_path = root + "/output/calls.log";
    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("cannot fork");
    if (child == 0) exec_intro(options);
    int status = 0;
    while (waitpid(child, &status, options.interrupt_every_ms > 0 ? WNOHANG : 0) == 0) {
      usleep(useconds_t(options.interrupt_every_ms) * 1000);
      // A signal before the handler is installed would end the intro by default.
      if (read_file(log_path).find("\nSDL_SetVideoMode") != std::string::npos) kill(child, options.interrupt_signal);
    }
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM) ADD_FAILURE() << "the intro ran longer than 60 s";
    Lines log;
    std::istringstream lines(read_file(log_path));
    for (std::string line; std::getline(lines, line);) log.push_back(line);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), read_file(root + "/output/stdout"),
            read_file(root + "/output/stderr"), log};
  }

  // A 640 × 480 frame saved by the last run (INTRO_DOUBLE_SAVE_FLIPS): the
  // 32-bit words as they were in the surface's memory (byte 0 blue, 1 green,
  // 2 red, 3 alpha), row by row. One missing or of another size fails the
  // test (and reads as what the file held, the rest zero).
  std::vector<uint32_t> flip_frame(long number) const {
    std::vector<uint32_t> frame(640 * 480);
    std::ifstream file(root + "/output/flip-" + std::to_string(number), std::ios::binary);
    if (!file.read(reinterpret_cast<char*>(frame.data()), 4 * 640 * 480) || file.peek() != EOF)
      ADD_FAILURE() << "no frame file, or one of another size, for flip " << number;
    return frame;
  }

 private:
  static std::string temporary_directory() {
    std::string pattern = (fs::temp_directory_path() / "intro-e2e-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary directory");
    return pattern;
  }

  // In the child: the test's own environment without the doubles' switches,
  // then what this run needs, then the test's own settings; then the intro,
  // run by itself or by the emulator where this machine cannot execute it.
  [[noreturn]] void exec_intro(const RunOptions& options) const {
    Lines settings;
    for (char** entry = environ; *entry != nullptr; ++entry)
      if (std::strncmp(*entry, "INTRO_DOUBLE_", 13) == 0)
        settings.push_back(std::string(*entry, std::strchr(*entry, '=')));
    // A sound server named (never there) makes every machine one that may have
    // sound: the intro lets the music library probe, so the logs are the same
    // whatever this machine has.
    settings += {"SDL_VIDEODRIVER=dummy", "PULSE_SERVER=unix:" + root + "/no-sound-server",
                 "INTRO_DOUBLE_LOG=" + root + "/output/calls.log", "INTRO_DOUBLE_SAVE_DIR=" + root + "/output",
                 "PWD=" + directory};
    const char* preloaded = std::getenv("LD_PRELOAD");
    const std::string others = preloaded != nullptr ? preloaded : "";
    if (!options.real_time)
      settings.push_back(std::string("LD_PRELOAD=") + VIRTUAL_CLOCK_LIBRARY + (others.empty() ? "" : ":" + others));
    settings += options.environment;
    // putenv keeps the entry itself, which lives until the exec.
    for (std::string& entry : settings)
      entry.find('=') == std::string::npos ? unsetenv(entry.c_str()) : putenv(entry.data());
    Lines command{"intro"};
    if (*INTRO_EMULATOR != '\0') {
      // qemu-user runs the executable with the program name given after -0,
      // and hands the preloads to it alone with -E: the emulator's own loader
      // would refuse them (and say so) for their architecture.
      command = {INTRO_EMULATOR, "-0", "intro"};
      if (const char* preload = std::getenv("LD_PRELOAD")) command += {"-E", std::string("LD_PRELOAD=") + preload};
      unsetenv("LD_PRELOAD");
      command.push_back(INTRO_EXECUTABLE);
    }
    command += options.arguments;
    std::vector<char*> arguments;
    for (std::string& argument : command) arguments.push_back(argument.data());
    arguments.push_back(nullptr);
    alarm(60);  // kept across the exec
    if (std::freopen((root + "/output/stdout").c_str(), "w", stdout) &&
        std::freopen((root + "/output/stderr").c_str(), "w", stderr) && chdir(directory.c_str()) == 0)
      execv(*INTRO_EMULATOR != '\0' ? INTRO_EMULATOR : INTRO_EXECUTABLE, arguments.data());
    _exit(127);
  }
};

// ---- What every run's log is checked with.

// The lines that start with any of `prefixes`, in order.
inline Lines matching(const Lines& lines, const Lines& prefixes) {
  Lines kept;
  for (const std::string& line : lines)
    if (std::any_of(prefixes.begin(), prefixes.end(), [&](const std::string& p) { return line.rfind(p, 0) == 0; }))
      kept.push_back(line);
  return kept;
}
inline Lines tail(const Lines& lines, size_t count) {
  return Lines(lines.end() - long(std::min(count, lines.size())), lines.end());
}
// Where the first line equal to `line` is (the number of lines if none).
inline size_t index_of(const Lines& lines, const std::string& line) {
  return size_t(std::find(lines.begin(), lines.end(), line) - lines.begin());
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
inline Lines pacing(const Lines& log) {
  return matching(log, {"SDL_UpdateRect", "SDL_Flip", "SDL_Delay", "SDL_FillRect display", "SDL_PollEvent"});
}
// What follows the scene in every run: fade, the credits typed one byte a
// frame (none when the page cannot be shown), the hold, fade.
inline Lines closing_pacing(int typed_bytes = credit_bytes) {
  Lines lines = times(20, {"SDL_Delay 1", "SDL_Flip"});
  lines += times(typed_bytes, {"SDL_Flip", "SDL_Delay 10"});
  lines += {"SDL_Delay 1500"};
  return lines += times(20, {"SDL_Delay 1", "SDL_Flip"});
}

// Nothing on standard output and `err` on standard error; exit status
// `status`, not ended by a signal; the music library shut down before the
// closing, which follows as it should; then the media library shut down and
// both libraries unloaded, the music library first, neither reporting a leak.
inline void expect_orderly_end(const RunResult& result, const std::string& err = "", int status = 0,
                               int typed_bytes = credit_bytes) {
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, err);
  EXPECT_EQ(result.exit_status, status);
  EXPECT_LT(index_of(result.log, "MikMod_Exit"), index_of(result.log, "SDL_Delay 1")) << "the scene closes first";
  const Lines closing = closing_pacing(typed_bytes);
  EXPECT_EQ(tail(pacing(result.log), closing.size()), closing);
  EXPECT_EQ(tail(result.log, 4),
            (Lines{"SDL_FreeSurface display", "SDL_Quit", "recording_mikmod unloaded", "recording_sdl unloaded"}));
  for (const std::string& line : result.log) EXPECT_EQ(line.find("leaked"), std::string::npos) << line;
}

}  // namespace e2e
