#include "e2e/harness.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
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

std::string read_whole_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

std::string join(const std::vector<long>& numbers) {
  std::string text;
  for (long number : numbers) text += (text.empty() ? "" : ",") + std::to_string(number);
  return text;
}

void set_variable(std::vector<std::string>& environment, const std::string& name, const std::string& value) {
  for (std::string& entry : environment) {
    if (entry.compare(0, name.size() + 1, name + "=") == 0) {
      entry = name + "=" + value;
      return;
    }
  }
  environment.push_back(name + "=" + value);
}

// The test's own environment without PWD and the doubles' switches, then
// what this run needs.
std::vector<std::string> run_environment(const Sandbox& sandbox, const RunOptions& options) {
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    if (text.compare(0, 4, "PWD=") == 0 || text.compare(0, 13, "INTRO_DOUBLE_") == 0) continue;
    environment.push_back(text);
  }
  set_variable(environment, "SDL_VIDEODRIVER", "dummy");
  set_variable(environment, "INTRO_DOUBLE_LOG", sandbox.root() + "/calls.log");
  set_variable(environment, "INTRO_DOUBLE_SAVE_DIR", sandbox.root() + "/frames");
  if (!options.save_flips.empty()) set_variable(environment, "INTRO_DOUBLE_SAVE_FLIPS", join(options.save_flips));
  if (!options.save_updates.empty())
    set_variable(environment, "INTRO_DOUBLE_SAVE_UPDATES", join(options.save_updates));
  if (!options.unset_pwd) set_variable(environment, "PWD", options.pwd.value_or(sandbox.directory()));
  for (const auto& [name, value] : options.environment) set_variable(environment, name, value);
  return environment;
}

std::vector<char*> c_strings(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& text : strings) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Counts, across calls, the log lines that start with each of a few
// prefixes, reading only what was appended since the last look.
class LogWatcher {
 public:
  LogWatcher(std::string path, std::vector<std::string> prefixes)
      : path_(std::move(path)), prefixes_(std::move(prefixes)), counts_(prefixes_.size(), 0) {}

  void catch_up() {
    std::ifstream file(path_, std::ios::binary);
    file.seekg(offset_);
    std::string line;
    while (std::getline(file, line)) {
      if (file.eof()) break;  // a line still being written; read it again next time
      offset_ += std::streamoff(line.size() + 1);
      ++lines_;
      for (size_t i = 0; i < prefixes_.size(); ++i)
        if (line.compare(0, prefixes_[i].size(), prefixes_[i]) == 0) ++counts_[i];
    }
  }

  int count(size_t prefix) const { return counts_[prefix]; }
  size_t lines() const { return lines_; }

 private:
  std::string path_;
  std::vector<std::string> prefixes_;
  std::vector<int> counts_;
  std::streamoff offset_ = 0;
  size_t lines_ = 0;
};

// The log points of a run, RunOptions::interrupt_on first.
std::vector<InterruptPoint> interrupt_points(const RunOptions& options) {
  std::vector<InterruptPoint> points;
  if (!options.interrupt_on.empty()) points.push_back({options.interrupt_on, options.interrupt_count});
  points.insert(points.end(), options.interrupt_points.begin(), options.interrupt_points.end());
  return points;
}

std::vector<std::string> prefixes_of(const std::vector<InterruptPoint>& points) {
  std::vector<std::string> prefixes;
  for (const InterruptPoint& point : points) prefixes.push_back(point.on);
  return prefixes;
}

[[noreturn]] void exec_intro(const Sandbox& sandbox, std::vector<std::string>& arguments,
                             std::vector<std::string>& environment) {
  const int no_input = open("/dev/null", O_RDONLY);
  const int out = open((sandbox.root() + "/stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int err = open((sandbox.root() + "/stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (no_input < 0 || out < 0 || err < 0 || dup2(no_input, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
      chdir(sandbox.directory().c_str()) != 0)
    _exit(126);
  std::vector<char*> argv = c_strings(arguments);
  std::vector<char*> envp = c_strings(environment);
  execve(INTRO_EXECUTABLE, argv.data(), envp.data());
  _exit(127);
}

}  // namespace

std::vector<std::string> RunResult::calls_starting_with(const std::string& prefix) const {
  std::vector<std::string> calls;
  for (const std::string& line : log)
    if (line.compare(0, prefix.size(), prefix) == 0) calls.push_back(line);
  return calls;
}

Frame read_frame(const std::string& path) {
  const std::string bytes = read_whole_file(path);
  const std::string end_of_header = "ENDHDR\n";
  const auto header_end = bytes.find(end_of_header);
  Frame frame;
  if (bytes.compare(0, 3, "P7\n") != 0 || header_end == std::string::npos) {
    ADD_FAILURE() << "no frame file at " << path;
    return frame;
  }
  std::istringstream header(bytes.substr(3, header_end - 3));
  for (std::string key; header >> key;) {
    if (key == "WIDTH") header >> frame.width;
    else if (key == "HEIGHT") header >> frame.height;
    else header.ignore(1 << 20, '\n');
  }
  const size_t count = size_t(frame.width) * size_t(frame.height);
  const size_t data = header_end + end_of_header.size();
  if (bytes.size() != data + 4 * count) {
    ADD_FAILURE() << "malformed frame file " << path;
    return Frame{};
  }
  frame.pixels.resize(count);
  for (size_t i = 0; i < count; ++i) {
    const auto byte = [&](size_t k) { return uint32_t(uint8_t(bytes[data + 4 * i + k])); };
    // The file holds red, green, blue, alpha; memory holds blue first.
    frame.pixels[i] = byte(2) | byte(1) << 8 | byte(0) << 16 | byte(3) << 24;
  }
  return frame;
}

Sandbox::Sandbox(Library media, Library music) {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/intro-e2e-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary directory");
  root_ = pattern;
  directory_ = root_ + "/run";
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
  std::string bytes;
  for (int field : {width, height, 32}) {
    bytes += char(field & 0xff);
    bytes += char((field >> 8) & 0xff);
  }
  for (uint32_t pixel : pixels)
    for (int shift = 0; shift < 32; shift += 8) bytes += char((pixel >> shift) & 0xff);
  write_file(relative, bytes);
}

namespace {

// A font sheet whose every cell holds an opaque white bar over its left half.
std::vector<uint32_t> font_sheet(int width, int height, int cell) {
  std::vector<uint32_t> pixels(size_t(width) * size_t(height));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (x % cell < cell / 2) pixels[size_t(y) * size_t(width) + size_t(x)] = 0xffffffff;
  return pixels;
}

}  // namespace

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
  std::vector<std::string> environment = run_environment(*this, options);

  RunResult result;
  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("cannot fork");
  if (child == 0) exec_intro(*this, arguments, environment);

  const std::vector<InterruptPoint> points = interrupt_points(options);
  std::vector<bool> sent(points.size(), false);
  LogWatcher watcher(log_path, prefixes_of(points));
  const auto start = std::chrono::steady_clock::now();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.timeout_seconds);
  const auto interval = std::chrono::milliseconds(options.interrupt_every_ms);
  auto next_interrupt = std::chrono::steady_clock::now() + interval;
  int status = 0;
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (options.interrupt_every_ms > 0 && std::chrono::steady_clock::now() >= next_interrupt) {
      kill(child, SIGINT);
      next_interrupt += interval;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      result.timed_out = true;
      ADD_FAILURE() << "the intro ran longer than " << options.timeout_seconds << " s and was killed";
      break;
    }
    if (!points.empty()) watcher.catch_up();
    for (size_t i = 0; i < points.size(); ++i) {
      if (sent[i] || watcher.count(i) < points[i].count) continue;
      kill(child, SIGINT);
      sent[i] = true;
      result.log_lines_at_interrupts.push_back(watcher.lines());
    }
    result.interrupted = !options.interrupt_on.empty() && sent[0];
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (WIFEXITED(status) && !result.timed_out) result.exit_status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  result.out = read_whole_file(root_ + "/stdout");
  result.err = read_whole_file(root_ + "/stderr");
  result.log = lines_of(read_whole_file(log_path));
  return result;
}

Frame Sandbox::flip_frame(long number) const {
  return read_frame(root_ + "/frames/flip-" + std::to_string(number) + ".pam");
}

Frame Sandbox::update_frame(long number) const {
  return read_frame(root_ + "/frames/update-" + std::to_string(number) + ".pam");
}

}  // namespace e2e
