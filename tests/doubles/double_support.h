// What the two recording libraries share: the call log, the interrupts sent
// at chosen lines of it, the failure switch and the parsing of their
// environment variables. Each double's one source includes it, so every
// loaded double has its own copy (internal linkage) and the two never bind to
// each other's state.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace double_support {
namespace {

// Aborts the test run with a message on standard error: a double that was
// configured wrongly must not let a test pass by accident.
[[noreturn]] void configuration_error(const char* variable, const std::string& text) {
  std::fprintf(stderr, "test double: cannot use %s=\"%s\"\n", variable, text.c_str());
  std::abort();
}

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

// A whole number; anything else is a mistake in the test.
long whole_number(const std::string& text, const char* variable) {
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || value < 0) configuration_error(variable, text);
  return value;
}

// The process is sent the signal right after the `count`-th logged line that
// starts with `prefix`; lines may come from several threads.
struct Interrupt {
  std::string prefix;
  long count;
  std::unique_ptr<std::atomic<long>> seen;
};

// Written once by configure_from_environment while the library loads, before
// the intro starts any thread; only read afterwards. Built on first use: the
// doubles configure from their own static initialisers.
struct Configuration {
  int log_fd = -1;
  std::vector<std::string> failures;
  std::vector<Interrupt> interrupts;
  int signal = SIGINT;
};

Configuration& configuration() {
  static Configuration instance;
  return instance;
}

// Each line goes out in one write() on an O_APPEND descriptor, so lines from
// several threads and from both doubles never interleave.
void write_line(std::string line) {
  line += '\n';
  if (configuration().log_fd >= 0) {
    ssize_t ignored = write(configuration().log_fd, line.data(), line.size());
    (void)ignored;
  }
}

// Reads INTRO_DOUBLE_LOG, _FAIL, _INTERRUPT and _INTERRUPT_SIGNAL and opens
// the log. Called by each double's load-time constructor, before any thread.
void configure_from_environment() {
  Configuration& settings = configuration();
  if (const std::string path = environment("INTRO_DOUBLE_LOG"); !path.empty())
    settings.log_fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  settings.failures = split(environment("INTRO_DOUBLE_FAIL"), ',');
  // "SDL_Delay 1@21;Player_Active@3": prefixes may hold spaces and commas.
  for (const std::string& item : split(environment("INTRO_DOUBLE_INTERRUPT"), ';')) {
    const auto at = item.rfind('@');
    if (at == 0 || at == std::string::npos) configuration_error("INTRO_DOUBLE_INTERRUPT", item);
    settings.interrupts.push_back({item.substr(0, at), whole_number(item.substr(at + 1), "INTRO_DOUBLE_INTERRUPT"),
                                   std::make_unique<std::atomic<long>>(0)});
  }
  if (const std::string number = environment("INTRO_DOUBLE_INTERRUPT_SIGNAL"); !number.empty())
    settings.signal = int(whole_number(number, "INTRO_DOUBLE_INTERRUPT_SIGNAL"));
}

void close_log() {
  if (configuration().log_fd >= 0) close(configuration().log_fd);
  configuration().log_fd = -1;
}

// Appends one line to the call log (a no-op without INTRO_DOUBLE_LOG); when
// INTRO_DOUBLE_INTERRUPT asks for a signal at this line, sends it and logs
// "interrupt sent" after the line.
__attribute__((format(printf, 1, 2))) void record(const char* format, ...) {
  char line[512];
  va_list arguments;
  va_start(arguments, format);
  const int length = std::vsnprintf(line, sizeof line, format, arguments);  // a longer line is cut
  va_end(arguments);
  if (length < 0) return;
  write_line(line);
  for (Interrupt& interrupt : configuration().interrupts)
    if (std::strncmp(line, interrupt.prefix.c_str(), interrupt.prefix.size()) == 0 &&
        interrupt.seen->fetch_add(1, std::memory_order_relaxed) + 1 == interrupt.count) {
      kill(getpid(), configuration().signal);  // process-directed, as from a terminal
      write_line("interrupt sent");
    }
}

// Whether INTRO_DOUBLE_FAIL asks `entry_point` to fail on its `call_number`-th
// call (counted from 1): "Name" fails every call, "Name:first" only the first.
bool told_to_fail(const std::string& entry_point, int call_number) {
  for (const std::string& failure : configuration().failures)
    if (failure == entry_point || (failure == entry_point + ":first" && call_number == 1)) return true;
  return false;
}

}  // namespace
}  // namespace double_support
