#include "e2e/harness.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace e2e {
namespace {

namespace fs = std::filesystem;

const char* library_file(Library library) {
  switch (library) {
    case Library::media_double: return MEDIA_DOUBLE;
    case Library::music_double: return MUSIC_DOUBLE;
    case Library::system_sdl: return SYSTEM_SDL_LIBRARY;
    case Library::system_mikmod: return SYSTEM_MIKMOD_LIBRARY;
  }
  return "";
}

std::string join(const std::vector<long>& numbers) {
  std::string text;
  for (long number : numbers) text += (text.empty() ? "" : ",") + std::to_string(number);
  return text;
}

// The test's own environment without PWD and the doubles' switches, then
// what this run needs.
std::vector<std::string> run_environment(const Sandbox& sandbox, const RunOptions& options, bool virtual_clock) {
  std::map<std::string, std::string> variables;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    if (starts_with(text, "PWD=") || starts_with(text, "INTRO_DOUBLE_")) continue;
    variables[text.substr(0, text.find('='))] = text.substr(text.find('=') + 1);
  }
  variables["SDL_VIDEODRIVER"] = "dummy";
  // A sound server named (never there) makes every machine one that may have
  // sound: the intro lets the music library probe, so the logs are the same
  // whatever this machine has.
  variables["PULSE_SERVER"] = "unix:" + sandbox.root() + "/no-sound-server";
  variables["INTRO_DOUBLE_LOG"] = sandbox.root() + "/calls.log";
  variables["INTRO_DOUBLE_SAVE_DIR"] = sandbox.root() + "/frames";
  if (!options.save_flips.empty()) variables["INTRO_DOUBLE_SAVE_FLIPS"] = join(options.save_flips);
  if (!options.unset_pwd) variables["PWD"] = options.pwd.value_or(sandbox.directory());
  std::string interrupts;
  for (const InterruptPoint& point : options.interrupt_points)
    interrupts += (interrupts.empty() ? "" : ";") + point.on + "@" + std::to_string(point.count);
  if (!interrupts.empty()) variables["INTRO_DOUBLE_INTERRUPT"] = interrupts;
  variables["INTRO_DOUBLE_INTERRUPT_SIGNAL"] = std::to_string(options.interrupt_signal);
  if (virtual_clock) {
    const std::string others = variables["LD_PRELOAD"];
    variables["LD_PRELOAD"] = VIRTUAL_CLOCK_LIBRARY + (others.empty() ? "" : ":" + others);
  }
  for (const auto& [name, value] : options.environment) variables[name] = value;
  std::vector<std::string> environment;
  for (const auto& [name, value] : variables) environment.push_back(name + "=" + value);
  return environment;
}

std::vector<char*> c_strings(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& text : strings) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Tells, across calls, whether the log has a line that starts with `prefix`,
// reading only what was appended since the last look.
class LogWatcher {
 public:
  LogWatcher(std::string path, std::string prefix) : path_(std::move(path)), prefix_(std::move(prefix)) {}

  bool seen() {
    std::ifstream file(path_, std::ios::binary);
    file.seekg(offset_);
    std::string line;
    while (!seen_ && std::getline(file, line) && !file.eof()) {  // at eof, a line still being written
      offset_ += std::streamoff(line.size() + 1);
      seen_ = starts_with(line, prefix_);
    }
    return seen_;
  }

 private:
  std::string path_;
  std::string prefix_;
  std::streamoff offset_ = 0;
  bool seen_ = false;
};

// Where in the log each point's signal was sent, in the order of the log.
std::vector<size_t> lines_at_interrupts(const Lines& log, const std::vector<InterruptPoint>& points) {
  std::vector<size_t> at;
  for (const InterruptPoint& point : points) {
    int seen = 0;
    for (size_t line = 0; line < log.size(); ++line)
      if (starts_with(log[line], point.on) && ++seen == point.count) at.push_back(line + 1);
  }
  std::sort(at.begin(), at.end());
  return at;
}

// A frame file written by the media double (binary PAM, RGB_ALPHA).
Frame read_frame(const std::string& path) {
  const std::string bytes = read_file(path);
  const std::string end_of_header = "TUPLTYPE RGB_ALPHA\nENDHDR\n";
  const size_t header_end = bytes.find(end_of_header), data = header_end + end_of_header.size();
  Frame frame;
  if (std::sscanf(bytes.c_str(), "P7\nWIDTH %d\nHEIGHT %d\n", &frame.width, &frame.height) != 2 ||
      header_end == std::string::npos || bytes.size() != data + 4 * size_t(frame.width) * size_t(frame.height)) {
    ADD_FAILURE() << "no frame file, or a malformed one, at " << path;
    return Frame{};
  }
  frame.pixels.resize(size_t(frame.width) * size_t(frame.height));
  for (size_t i = 0; i < frame.pixels.size(); ++i) {
    const auto byte = [&](size_t k) { return uint32_t(uint8_t(bytes[data + 4 * i + k])); };
    // The file holds red, green, blue, alpha; memory holds blue first.
    frame.pixels[i] = byte(2) | byte(1) << 8 | byte(0) << 16 | byte(3) << 24;
  }
  return frame;
}

// A font sheet whose every cell holds an opaque white bar over its left half.
std::vector<uint32_t> font_sheet(int width, int height, int cell) {
  std::vector<uint32_t> pixels(size_t(width) * size_t(height));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (x % cell < cell / 2) pixels[size_t(y) * size_t(width) + size_t(x)] = 0xffffffff;
  return pixels;
}

// Whether the process has `file` mapped (an emulator maps its guest's files
// in its own process as well).
bool has_mapped(pid_t process, const std::string& file) {
  std::ifstream maps("/proc/" + std::to_string(process) + "/maps");
  std::string line;
  while (std::getline(maps, line))
    if (line.size() >= file.size() && line.compare(line.size() - file.size(), file.size(), file) == 0) return true;
  return false;
}

[[noreturn]] void exec_intro(const Sandbox& sandbox, std::vector<std::string>& arguments,
                             std::vector<std::string>& environment) {
  const int no_input = open("/dev/null", O_RDONLY);
  const int out = open((sandbox.root() + "/stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int err = open((sandbox.root() + "/stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (no_input < 0 || out < 0 || err < 0 || dup2(no_input, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
      chdir(sandbox.directory().c_str()) != 0)
    _exit(126);
  std::vector<char*> envp = c_strings(environment);
  if (*INTRO_EMULATOR != '\0') {
    // qemu-user runs the executable with the program name given after -0,
    // and hands the preloads to it alone with -E: the emulator's own loader
    // would refuse them (and say so) for their architecture.
    std::vector<std::string> emulated{INTRO_EMULATOR, "-0", arguments[0]};
    std::vector<std::string> host_environment;
    for (const std::string& variable : environment) {
      if (starts_with(variable, "LD_PRELOAD=")) emulated.insert(emulated.end(), {"-E", variable});
      else host_environment.push_back(variable);
    }
    emulated.push_back(INTRO_EXECUTABLE);
    emulated.insert(emulated.end(), arguments.begin() + 1, arguments.end());
    std::vector<char*> argv = c_strings(emulated);
    std::vector<char*> host_envp = c_strings(host_environment);
    execve(INTRO_EMULATOR, argv.data(), host_envp.data());
  } else {
    std::vector<char*> argv = c_strings(arguments);
    execve(INTRO_EXECUTABLE, argv.data(), envp.data());
  }
  _exit(127);
}

}  // namespace

Lines RunResult::calls_starting_with(const std::string& prefix) const {
  Lines calls;
  for (const std::string& line : log)
    if (starts_with(line, prefix)) calls.push_back(line);
  return calls;
}

Sandbox::Sandbox(Library media, Library music) {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/intro-e2e-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary directory");
  root_ = pattern;
  directory_ = root_ + "/run";
  media_ = media;
  fs::create_directories(directory_ + "/data");
  place_library("sdl.library", media);
  place_library("mikmod.library", music);
}

Sandbox::~Sandbox() {
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

void Sandbox::place_library(const std::string& name, Library library) const {
  const std::string link = directory_ + "/data/" + name;
  std::error_code ignored;
  fs::remove(link, ignored);
  fs::create_symlink(library_file(library), link);
}

void Sandbox::write_file(const std::string& relative, const std::string& bytes) const {
  const fs::path path = fs::path(directory_) / relative;
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

void Sandbox::remove_file(const std::string& relative) const { fs::remove(fs::path(directory_) / relative); }

void Sandbox::write_image(const std::string& relative, int width, int height,
                          const std::vector<uint32_t>& pixels) const {
  std::string bytes = image_header(width, height);
  for (uint32_t pixel : pixels)
    for (int shift = 0; shift < 32; shift += 8) bytes += char((pixel >> shift) & 0xff);
  write_file(relative, bytes);
}

void Sandbox::write_stand_in_assets() const {
  write_image("data/data01.dt", 512, 192, font_sheet(512, 192, 32));
  write_image("data/data02.dt", 256, 96, font_sheet(256, 96, 16));
  write_image("data/data03.dt", 320, 100, std::vector<uint32_t>(320 * 100, 0xff2080c0));
  std::vector<uint32_t> texture(256 * 256);
  for (size_t i = 0; i < texture.size(); ++i)
    texture[i] = (i / 256 / 32 + i % 256 / 32) % 2 != 0 ? 0xffffffff : 0xff000000;  // 32-pixel squares
  write_image("data/data04.dt", 256, 256, texture);
  write_file("data/data05.dt", "stand-in module");
}

void Sandbox::link_generated_assets() const {
  for (const char* name : {"data01.dt", "data02.dt", "data03.dt", "data04.dt", "data05.dt"}) {
    const std::string link = directory_ + "/data/" + name;
    std::error_code ignored;
    fs::remove(link, ignored);
    fs::create_symlink(std::string(GENERATED_DATA_DIR) + "/" + name, link);
  }
}

RunResult Sandbox::run(const RunOptions& options) const {
  const std::string log_path = root_ + "/calls.log";
  fs::remove(log_path);
  fs::remove_all(root_ + "/frames");
  fs::create_directories(root_ + "/frames");

  std::vector<std::string> arguments{"intro"};
  arguments.insert(arguments.end(), options.arguments.begin(), options.arguments.end());
  std::vector<std::string> environment =
      run_environment(*this, options, media_ == Library::media_double && !options.real_time);

  RunResult result;
  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("cannot fork");
  if (child == 0) exec_intro(*this, arguments, environment);

  // The intro installs its handler before it opens the display, and a signal
  // before that would end it by default, so periodic interrupts wait for the
  // display. The system's SDL logs nothing: there they start one interval
  // after the music library is mapped, which the intro binds just before it
  // installs its handler (under an emulator the start alone can take longer
  // than an interval).
  LogWatcher display_opened(log_path, "SDL_SetVideoMode");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.timeout_seconds);
  const auto interval = std::chrono::milliseconds(options.interrupt_every_ms);
  auto next_interrupt = std::chrono::steady_clock::now() + interval;
  std::error_code unresolved;
  const std::string music_file = fs::canonical(directory_ + "/data/mikmod.library", unresolved).string();
  bool music_mapped = false;
  int status = 0;
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (media_ != Library::media_double && !music_mapped &&
        (music_mapped = unresolved.value() != 0 || has_mapped(child, music_file)))
      next_interrupt = std::chrono::steady_clock::now() + interval;
    const bool handler_installed = media_ == Library::media_double ? display_opened.seen() : music_mapped;
    if (options.interrupt_every_ms > 0 && handler_installed && std::chrono::steady_clock::now() >= next_interrupt) {
      kill(child, options.interrupt_signal);
      next_interrupt += interval;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      result.timed_out = true;
      ADD_FAILURE() << "the intro ran longer than " << options.timeout_seconds << " s and was killed";
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  if (WIFEXITED(status) && !result.timed_out) result.exit_status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  result.out = read_file(root_ + "/stdout");
  result.err = read_file(root_ + "/stderr");
  result.log = lines_of(read_file(log_path));
  result.log_lines_at_interrupts = lines_at_interrupts(result.log, options.interrupt_points);
  return result;
}

Frame Sandbox::flip_frame(long number) const {
  return read_frame(root_ + "/frames/flip-" + std::to_string(number) + ".pam");
}

bool starts_with(const std::string& line, const std::string& prefix) {
  return line.compare(0, prefix.size(), prefix) == 0;
}

std::string image_header(int width, int height, int depth) {
  std::string bytes;
  for (int field : {width, height, depth}) {
    bytes += char(field & 0xff);
    bytes += char((field >> 8) & 0xff);
  }
  return bytes;
}

std::string read_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

Lines lines_of(const std::string& text) {
  Lines lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

Lines tail(const Lines& lines, size_t count) {
  return Lines(lines.end() - long(std::min(count, lines.size())), lines.end());
}

long count_of(const Lines& lines, const std::string& prefix) {
  return std::count_if(lines.begin(), lines.end(), [&](const std::string& line) { return starts_with(line, prefix); });
}

size_t index_of(const Lines& lines, const std::string& line) {
  return size_t(std::find(lines.begin(), lines.end(), line) - lines.begin());
}

void repeat(Lines& lines, int times, const Lines& step) {
  for (int i = 0; i < times; ++i) append(lines, step);
}

void append(Lines& lines, const Lines& more) { lines.insert(lines.end(), more.begin(), more.end()); }

Lines pacing(const Lines& log) {
  Lines kept;
  for (const std::string& line : log)
    for (const char* prefix : {"SDL_UpdateRect", "SDL_Flip", "SDL_Delay", "SDL_FillRect display", "SDL_PollEvent"})
      if (starts_with(line, prefix)) kept.push_back(line);
  return kept;
}

Lines intro_pacing(int width, int height) {
  const std::string logo_rectangle = std::to_string(320 - width / 2) + " " + std::to_string(240 - height / 2) + " " +
                                     std::to_string(width) + " " + std::to_string(height);
  Lines lines{"SDL_FillRect display null 0x0"};
  repeat(lines, 51, {"SDL_UpdateRect " + logo_rectangle, "SDL_Delay 5"});
  repeat(lines, 23, {"SDL_FillRect display null 0x0", "SDL_Flip", "SDL_Delay 5"});
  lines.push_back("SDL_Delay 500");
  repeat(lines, 160, {"SDL_Flip", "SDL_Delay 5"});
  lines.push_back("SDL_Flip");
  return lines;
}

Lines closing_pacing(int typed_bytes) {
  Lines lines;
  repeat(lines, 20, {"SDL_Delay 1", "SDL_Flip"});
  repeat(lines, typed_bytes, {"SDL_Flip", "SDL_Delay 10"});
  lines.push_back("SDL_Delay 1500");
  repeat(lines, 20, {"SDL_Delay 1", "SDL_Flip"});
  return lines;
}

void expect_orderly_end(const RunResult& result) {
  EXPECT_EQ(result.signal, 0);
  EXPECT_EQ(tail(result.log, 4),
            (Lines{"SDL_FreeSurface display", "SDL_Quit", "recording_mikmod unloaded", "recording_sdl unloaded"}));
  for (const std::string& line : result.log) EXPECT_EQ(line.find("leaked"), std::string::npos) << line;
}

}  // namespace e2e
