#include "e2e/harness.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace e2e {
namespace {

namespace fs = std::filesystem;

std::string temporary_directory() {
  std::string pattern = (fs::temp_directory_path() / "intro-e2e-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary directory");
  return pattern;
}

// In the child: the test's own environment without the doubles' switches,
// then what this run needs, then the test's own settings ("NAME=value", or
// "NAME" alone to remove it).
void set_environment(const Sandbox& sandbox, const RunOptions& options) {
  Lines settings;
  for (char** entry = environ; *entry != nullptr; ++entry)
    if (starts_with(*entry, "INTRO_DOUBLE_")) settings.push_back(std::string(*entry, std::strchr(*entry, '=')));
  // A sound server named (never there) makes every machine one that may have
  // sound: the intro lets the music library probe, so the logs are the same
  // whatever this machine has.
  settings += {"SDL_VIDEODRIVER=dummy", "PULSE_SERVER=unix:" + sandbox.root + "/no-sound-server",
               "INTRO_DOUBLE_LOG=" + sandbox.root + "/calls.log", "INTRO_DOUBLE_SAVE_DIR=" + sandbox.root + "/frames",
               "PWD=" + sandbox.directory};
  const std::string others = std::getenv("LD_PRELOAD") != nullptr ? std::getenv("LD_PRELOAD") : "";
  if (!options.real_time)
    settings.push_back(std::string("LD_PRELOAD=") + VIRTUAL_CLOCK_LIBRARY + (others.empty() ? "" : ":" + others));
  settings += options.environment;
  for (const std::string& entry : settings)
    if (entry.find('=') == std::string::npos)
      unsetenv(entry.c_str());
    else
      setenv(entry.substr(0, entry.find('=')).c_str(), entry.substr(entry.find('=') + 1).c_str(), 1);
}

// In the child: the command that runs the intro, its own or the emulator's
// where this machine cannot execute it itself.
Lines command_line(const RunOptions& options) {
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
  return command += options.arguments;
}

}  // namespace

Sandbox::Sandbox(const char* music_library) : root(temporary_directory()), directory(root + "/run") {
  fs::create_directories(directory + "/data");
  place_library("sdl.library", MEDIA_DOUBLE);
  place_library("mikmod.library", music_library);
  write_image("data/data01.dt", 512, 192, [](int x, int) { return x % 32 < 16 ? 0xffffffffu : 0u; });
  write_image("data/data02.dt", 256, 96, [](int x, int) { return x % 16 < 8 ? panel_ink : 0u; });
  write_image("data/data03.dt", 160, 160, [](int, int) { return logo_pixel; });
  write_image("data/data04.dt", 256, 256, [](int, int) { return texture_pixel; });
  write_file("data/data05.dt", "stand-in module");
}

Sandbox::~Sandbox() {
  std::error_code ignored;
  fs::remove_all(root, ignored);
}

void Sandbox::place_library(const std::string& name, const char* library) const {
  remove_file("data/" + name);
  fs::create_symlink(library, directory + "/data/" + name);
}

void Sandbox::write_file(const std::string& relative, const std::string& bytes) const {
  remove_file(relative);
  std::ofstream(directory + "/" + relative, std::ios::binary) << bytes;
}

void Sandbox::make_fifo(const std::string& relative) const {
  remove_file(relative);
  if (mkfifo((directory + "/" + relative).c_str(), 0644) != 0) ADD_FAILURE() << "cannot make " << relative;
}

void Sandbox::remove_file(const std::string& relative) const {
  std::error_code ignored;
  fs::remove(directory + "/" + relative, ignored);
}

void Sandbox::write_image(const std::string& relative, int width, int height,
                          const std::function<uint32_t(int x, int y)>& pixel) const {
  std::string bytes = image_header(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int shift = 0; shift < 32; shift += 8) bytes += char((pixel(x, y) >> shift) & 0xff);
  write_file(relative, bytes);
}

RunResult Sandbox::run(const RunOptions& options) const {
  const std::string log_path = root + "/calls.log";
  fs::remove(log_path);
  fs::remove_all(root + "/frames");
  fs::create_directories(root + "/frames");
  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("cannot fork");
  if (child == 0) {
    set_environment(*this, options);
    Lines command = command_line(options);
    std::vector<char*> arguments;
    for (std::string& argument : command) arguments.push_back(argument.data());
    arguments.push_back(nullptr);
    if (std::freopen((root + "/stdout").c_str(), "w", stdout) &&
        std::freopen((root + "/stderr").c_str(), "w", stderr) && chdir(directory.c_str()) == 0)
      execv(command[0] == "intro" ? INTRO_EXECUTABLE : INTRO_EMULATOR, arguments.data());
    _exit(127);
  }
  using clock = std::chrono::steady_clock;
  const auto deadline = clock::now() + std::chrono::seconds(60);
  auto next_interrupt = clock::now();
  bool display_opened = false;
  int status = 0;
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (clock::now() > deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      ADD_FAILURE() << "the intro ran longer than 60 s and was killed";
      break;
    }
    // A signal before the handler is installed would end the intro by default.
    if (options.interrupt_every_ms > 0 && clock::now() >= next_interrupt &&
        (display_opened = display_opened || read_file(log_path).find("\nSDL_SetVideoMode") != std::string::npos)) {
      kill(child, options.interrupt_signal);
      next_interrupt = clock::now() + std::chrono::milliseconds(options.interrupt_every_ms);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, WIFSIGNALED(status) ? WTERMSIG(status) : 0,
          read_file(root + "/stdout"), read_file(root + "/stderr"), lines_of(read_file(log_path))};
}

Frame Sandbox::flip_frame(long number) const {
  Frame frame{std::vector<uint32_t>(640 * 480)};
  std::ifstream file(root + "/frames/flip-" + std::to_string(number), std::ios::binary);
  if (!file.read(reinterpret_cast<char*>(frame.pixels.data()), 4 * 640 * 480) || file.peek() != EOF) {
    ADD_FAILURE() << "no frame file, or one of another size, for flip " << number;
    frame.pixels.clear();
  }
  return frame;
}

std::string image_header(int width, int height, int depth) {
  std::string bytes;
  for (int field : {width, height, depth}) bytes += {char(field & 0xff), char((field >> 8) & 0xff)};
  return bytes;
}

std::string read_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

Lines lines_of(const std::string& text) {
  Lines lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

Lines matching(const Lines& lines, const Lines& prefixes) {
  Lines kept;
  for (const std::string& line : lines)
    if (std::any_of(prefixes.begin(), prefixes.end(), [&](const std::string& prefix) { return starts_with(line, prefix); }))
      kept.push_back(line);
  return kept;
}

Lines pacing(const Lines& log) {
  return matching(log, {"SDL_UpdateRect", "SDL_Flip", "SDL_Delay", "SDL_FillRect display", "SDL_PollEvent"});
}

Lines closing_pacing(int typed_bytes) {
  Lines lines = times(20, {"SDL_Delay 1", "SDL_Flip"});
  lines += times(typed_bytes, {"SDL_Flip", "SDL_Delay 10"});
  lines += {"SDL_Delay 1500"};
  return lines += times(20, {"SDL_Delay 1", "SDL_Flip"});
}

void expect_orderly_end(const RunResult& result, const std::string& err, int status, int typed_bytes) {
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, err);
  EXPECT_EQ(result.exit_status, status);
  EXPECT_EQ(result.signal, 0);
  EXPECT_LT(index_of(result.log, "MikMod_Exit"), index_of(result.log, "SDL_Delay 1")) << "the scene closes first";
  const Lines closing = closing_pacing(typed_bytes);
  EXPECT_EQ(tail(pacing(result.log), closing.size()), closing);
  EXPECT_EQ(tail(result.log, 4),
            (Lines{"SDL_FreeSurface display", "SDL_Quit", "recording_mikmod unloaded", "recording_sdl unloaded"}));
  for (const std::string& line : result.log) EXPECT_EQ(line.find("leaked"), std::string::npos) << line;
}

}  // namespace e2e
