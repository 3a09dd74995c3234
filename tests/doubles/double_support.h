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
#include <deque>
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

// The process is sent the signal right after the `count`-th logged line that
// starts with `prefix`; lines may come from several threads.
struct Interrupt {
  std::string prefix;
  long count = 0;
  std::atomic<long> seen{0};
};

// Set by open_log while the library loads, before the intro starts any
// thread; only read afterwards. Defined before each double's load-time
// object, so they are constructed before it.
int log_fd = -1;
std::deque<Interrupt> interrupts;

// Opens INTRO_DOUBLE_LOG and reads INTRO_DOUBLE_INTERRUPT
// ("SDL_Delay 1@21;Player_Active@3": prefixes may hold spaces and commas).
void open_log() {
  if (const std::string path = environment("INTRO_DOUBLE_LOG"); !path.empty())
    log_fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  for (const std::string& item : split(environment("INTRO_DOUBLE_INTERRUPT"), ';')) {
    Interrupt& interrupt = interrupts.emplace_back();
    interrupt.prefix = item.substr(0, item.rfind('@'));
    interrupt.count = std::atol(item.c_str() + item.rfind('@') + 1);
  }
}

// Each line goes out in one write() on an O_APPEND descriptor, so lines from
// several threads and from both doubles never interleave.
void write_line(std::string line) {
  line += '\n';
  if (log_fd >= 0 && write(log_fd, line.data(), line.size()) < 0) std::perror("test double: call log");
}

// Appends one line to the call log (a no-op without INTRO_DOUBLE_LOG); when
// INTRO_DOUBLE_INTERRUPT asks for a signal at this line, sends it (the number
// in INTRO_DOUBLE_INTERRUPT_SIGNAL, SIGINT without one) and logs
// "interrupt sent" after the line.
__attribute__((format(printf, 1, 2))) void record(const char* format, ...) {
  char line[512];  // a longer line is cut
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(line, sizeof line, format, arguments);
  va_end(arguments);
  write_line(line);
  for (Interrupt& interrupt : interrupts)
    if (std::string(line).rfind(interrupt.prefix, 0) == 0 &&
        interrupt.seen.fetch_add(1, std::memory_order_relaxed) + 1 == interrupt.count) {
      const int signal = std::atoi(environment("INTRO_DOUBLE_INTERRUPT_SIGNAL").c_str());
      kill(getpid(), signal != 0 ? signal : SIGINT);  // process-directed, as from a terminal
      write_line("interrupt sent");
    }
}

// Whether INTRO_DOUBLE_FAIL ("SDL_SetVideoMode,MikMod_Init:first") asks
// `entry_point` to fail on its `call_number`-th call (counted from 1): "Name"
// fails every call, "Name:first" only the first.
bool told_to_fail(const std::string& entry_point, int call_number) {
  const std::string failures = "," + environment("INTRO_DOUBLE_FAIL") + ",";
  return failures.find("," + entry_point + ",") != std::string::npos ||
         (call_number == 1 && failures.find("," + entry_point + ":first,") != std::string::npos);
}

void close_log() {
  if (log_fd >= 0) close(log_fd);
  log_fd = -1;
}

}  // namespace
}  // namespace double_support
