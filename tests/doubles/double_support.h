// What the two recording libraries share: the call log, the interrupts sent
// at chosen lines of it, the failure switch and the parsing of their
// environment variables. Linked into each double with hidden visibility, so
// every loaded double has its own copy and the two never bind to each
// other's state.
#pragma once

#include <string>
#include <vector>

namespace double_support {

// Reads INTRO_DOUBLE_LOG, _FAIL, _INTERRUPT and _INTERRUPT_SIGNAL and opens
// the log. Called by each double's load-time constructor, before any thread.
void configure_from_environment();
void close_log();

// Appends one line to the call log (a no-op without INTRO_DOUBLE_LOG); when
// INTRO_DOUBLE_INTERRUPT asks for a signal at this line, sends it and logs
// "interrupt sent" after the line. Each line goes out in one write() on an
// O_APPEND descriptor, so lines from several threads and from both doubles
// never interleave.
void record(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Whether INTRO_DOUBLE_FAIL asks `entry_point` to fail on its `call_number`-th
// call (counted from 1): "Name" fails every call, "Name:first" only the first.
bool told_to_fail(const std::string& entry_point, int call_number);

// The value of an environment variable, or "" when unset.
std::string environment(const char* name);

// The parts of `text` between separators ("a,b" gives "a" and "b", "" none).
std::vector<std::string> split(const std::string& text, char separator);

// A whole number; anything else is a mistake in the test, so it aborts.
long whole_number(const std::string& text, const char* variable);

// Aborts the test run with a message on standard error: a double that was
// configured wrongly must not let a test pass by accident.
[[noreturn]] void configuration_error(const char* variable, const std::string& text);

}  // namespace double_support
