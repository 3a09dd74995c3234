// What the two recording libraries share: the call log, the interrupts sent
// at chosen lines of it and the failure switch. Each double's one source
// includes it, so every loaded double has its own copy (internal linkage) and
// the two never bind to each other's state.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace double_support {
namespace {

// The value of an environment variable, or "" when unset.
std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// The parts of `text` between separators ("a,b" gives "a" and "b", "" none).
std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::istringstream stream(text);
  for (std::string part; std::getline(stream, part, separator);) parts.push_back(part);
  return parts;
}

// Set by Lifetime while the library loads, before the intro starts any
// thread; only read afterwards.
int log_fd = -1;
// How many logged lines each moment of INTRO_DOUBLE_INTERRUPT has matched so
// far; lines may come from several threads. A run asks for a few moments.
std::atomic<long> lines_matched[8];

// Appends one line to the call log (a no-op without INTRO_DOUBLE_LOG); when
// INTRO_DOUBLE_INTERRUPT asks for a signal at this line, sends it (the number
// in INTRO_DOUBLE_INTERRUPT_SIGNAL, SIGINT without one) and logs
// "interrupt sent" after the line. "SDL_Delay 1@21;Player_Active@3" asks for
// one right after the 21st line that starts with "SDL_Delay 1" and one after
// the 3rd Player_Active; prefixes may hold spaces and commas.
__attribute__((format(printf, 1, 2))) void record(const char* format, ...) {
  char line[512];  // a longer line is cut
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(line, sizeof line, format, arguments);
  va_end(arguments);
  // One write() on an O_APPEND descriptor, so lines from several threads and
  // from both doubles never interleave.
  const std::string text = line + std::string("\n");
  if (log_fd >= 0 && write(log_fd, text.data(), text.size()) < 0) std::perror("test double: call log");
  // Read once, on the first line logged; every line after is only matched.
  static const std::vector<std::string> moments = split(environment("INTRO_DOUBLE_INTERRUPT"), ';');
  static const int chosen_signal = std::atoi(environment("INTRO_DOUBLE_INTERRUPT_SIGNAL").c_str());
  for (size_t i = 0; i < moments.size() && i < std::size(lines_matched); ++i) {
    const size_t at = moments[i].rfind('@');
    if (std::string(line).rfind(moments[i].substr(0, at), 0) != 0) continue;
    if (lines_matched[i].fetch_add(1, std::memory_order_relaxed) + 1 != std::atol(&moments[i][at + 1])) continue;
    kill(getpid(), chosen_signal != 0 ? chosen_signal : SIGINT);  // process-directed, as from a terminal
    record("interrupt sent");
  }
}

// Whether INTRO_DOUBLE_FAIL ("SDL_SetVideoMode,MikMod_Init:first") asks
// `entry_point` to fail on its `call_number`-th call (counted from 1): "Name"
// fails every call, "Name:first" only the first. An entry point that does not
// count its calls takes "Name" alone.
bool told_to_fail(const std::string& entry_point, int call_number = 0) {
  const std::string failures = "," + environment("INTRO_DOUBLE_FAIL") + ",";
  return failures.find("," + entry_point + ",") != std::string::npos ||
         (call_number == 1 && failures.find("," + entry_point + ":first,") != std::string::npos);
}

// Logs the library's loading and, after `release` has freed what the intro
// left (logged as leaked), its unloading. Each double declares one after
// every other global of its source, so that those outlive it.
struct Lifetime {
  const char* name;
  void (*release)();
  Lifetime(const char* library, void (*leftovers)()) : name(library), release(leftovers) {
    if (const std::string path = environment("INTRO_DOUBLE_LOG"); !path.empty())
      log_fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    record("%s loaded", name);
  }
  ~Lifetime() {
    release();
    record("%s unloaded", name);
    if (log_fd >= 0) close(log_fd);
    log_fd = -1;  // a later call, from another static destructor, logs nothing
  }
};

}  // namespace
}  // namespace double_support
