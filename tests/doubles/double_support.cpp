#include "doubles/double_support.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

#include "virtual_clock.h"

namespace double_support {
namespace {

struct Hold {
  std::string entry_point;
  unsigned milliseconds;
};

struct Failure {
  std::string entry_point;
  bool first_call_only;
};

// The process is sent the signal right after the `count`-th logged line that
// starts with `prefix`; lines may come from several threads.
struct Interrupt {
  std::string prefix;
  long count;
  std::unique_ptr<std::atomic<long>> seen = std::make_unique<std::atomic<long>>(0);
};

// Written once by configure_from_environment while the library loads, before
// the intro starts any thread; only read afterwards. Built on first use: the
// doubles configure from their own static initialisers, which may run before
// this file's.
struct Configuration {
  int log_fd = -1;
  std::vector<Hold> holds;
  std::vector<Failure> failures;
  std::vector<Interrupt> interrupts;
  int interrupt_signal = SIGINT;
};

Configuration& configuration() {
  static Configuration instance;
  return instance;
}

// "Name:value,Name": each item split at its colon, "" where it has none.
std::vector<std::pair<std::string, std::string>> entry_point_list(const char* variable) {
  const std::string text = environment(variable);
  std::vector<std::pair<std::string, std::string>> items;
  for (const std::string& item : text.empty() ? std::vector<std::string>{} : split(text, ',')) {
    const auto colon = item.find(':');
    if (colon == 0 || item.empty()) configuration_error(variable, text);
    items.emplace_back(item.substr(0, colon), colon == std::string::npos ? "" : item.substr(colon + 1));
  }
  return items;
}

// On the virtual clock a hold is simulated time that passes, like a delay.
void hold_for(unsigned milliseconds) {
  if (virtual_clock_runs())
    intro_clock_pass_ns(milliseconds * 1000000LL);
  else
    sleep_milliseconds(milliseconds);
}

void hold_if_asked(const char* line) {
  for (const Hold& hold : configuration().holds) {
    const std::string& name = hold.entry_point;
    // The entry point is the line's first word.
    if (std::strncmp(line, name.c_str(), name.size()) == 0 &&
        (line[name.size()] == ' ' || line[name.size()] == '\0'))
      hold_for(hold.milliseconds);
  }
}

void interrupt_if_asked(const char* line) {
  for (Interrupt& interrupt : configuration().interrupts)
    if (std::strncmp(line, interrupt.prefix.c_str(), interrupt.prefix.size()) == 0 &&
        interrupt.seen->fetch_add(1, std::memory_order_relaxed) + 1 == interrupt.count)
      kill(getpid(), configuration().interrupt_signal);  // process-directed, as from a terminal
}

}  // namespace

void configure_from_environment() {
  Configuration& settings = configuration();
  const std::string log_path = environment("INTRO_DOUBLE_LOG");
  if (!log_path.empty() && settings.log_fd < 0)
    settings.log_fd = open(log_path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  // "SDL_ShowCursor:300": sleep that long after logging each call.
  for (const auto& [name, value] : entry_point_list("INTRO_DOUBLE_HOLD"))
    settings.holds.push_back({name, unsigned(whole_number(value, "INTRO_DOUBLE_HOLD"))});
  for (const auto& [name, value] : entry_point_list("INTRO_DOUBLE_FAIL")) {
    if (!value.empty() && value != "first") configuration_error("INTRO_DOUBLE_FAIL", value);
    settings.failures.push_back({name, value == "first"});
  }
  // "SDL_Delay 1@21;Player_Active@3": prefixes may hold spaces and commas.
  const std::string interrupts = environment("INTRO_DOUBLE_INTERRUPT");
  for (const std::string& item : interrupts.empty() ? std::vector<std::string>{} : split(interrupts, ';')) {
    const auto at = item.rfind('@');
    if (at == 0 || at == std::string::npos) configuration_error("INTRO_DOUBLE_INTERRUPT", interrupts);
    settings.interrupts.push_back({item.substr(0, at), whole_number(item.substr(at + 1), "INTRO_DOUBLE_INTERRUPT")});
  }
  if (const std::string number = environment("INTRO_DOUBLE_INTERRUPT_SIGNAL"); !number.empty())
    settings.interrupt_signal = int(whole_number(number, "INTRO_DOUBLE_INTERRUPT_SIGNAL"));
}

void close_log() {
  int& log_fd = configuration().log_fd;
  if (log_fd >= 0) close(log_fd);
  log_fd = -1;
}

void record(const char* format, ...) {
  char line[512];
  va_list arguments;
  va_start(arguments, format);
  int length = std::vsnprintf(line, sizeof line - 1, format, arguments);
  va_end(arguments);
  if (length < 0) return;
  if (size_t(length) > sizeof line - 2) length = int(sizeof line - 2);  // truncated, still one line
  if (const int log_fd = configuration().log_fd; log_fd >= 0) {
    line[length] = '\n';
    ssize_t ignored = write(log_fd, line, size_t(length) + 1);
    (void)ignored;
    line[length] = '\0';
  }
  interrupt_if_asked(line);
  hold_if_asked(line);
}

bool told_to_fail(const char* entry_point, int call_number) {
  for (const Failure& failure : configuration().failures)
    if (failure.entry_point == entry_point && (!failure.first_call_only || call_number == 1)) return true;
  return false;
}

void sleep_milliseconds(unsigned milliseconds) {
  timespec remaining{time_t(milliseconds / 1000), long(milliseconds % 1000) * 1000000L};
  // An interrupt signal handled by the intro must not cut a hold short.
  while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string::size_type start = 0;
  for (auto end = text.find(separator); end != std::string::npos; start = end + 1, end = text.find(separator, start))
    parts.push_back(text.substr(start, end - start));
  parts.push_back(text.substr(start));
  return parts;
}

long whole_number(const std::string& text, const char* variable) {
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || value < 0) configuration_error(variable, text);
  return value;
}

std::vector<long> number_list(const std::string& text, const char* variable) {
  std::vector<long> numbers;
  if (text.empty()) return numbers;
  for (const std::string& item : split(text, ',')) numbers.push_back(whole_number(item, variable));
  return numbers;
}

void configuration_error(const char* variable, const std::string& text) {
  std::fprintf(stderr, "test double: cannot use %s=\"%s\"\n", variable, text.c_str());
  std::abort();
}

}  // namespace double_support
