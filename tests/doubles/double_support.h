// What the two recording libraries share: the call log, holds, failure
// switches and the parsing of their environment variables. Linked into each
// double with hidden visibility, so every loaded double has its own copy and
// the two never bind to each other's state.
#pragma once

#include <string>
#include <vector>

namespace double_support {

// Reads INTRO_DOUBLE_LOG, _HOLD, _FAIL, _INTERRUPT and _INTERRUPT_SIGNAL and
// opens the log. Called by each double's load-time constructor, before any thread.
void configure_from_environment();
void close_log();

// Appends one line to the call log (a no-op without INTRO_DOUBLE_LOG), sends
// the process its signal if INTRO_DOUBLE_INTERRUPT asks for it at this line,
// then holds if INTRO_DOUBLE_HOLD names the line's first word. Each line goes out
// in one write() on an O_APPEND descriptor, so lines from several threads and
// from both doubles never interleave.
void record(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Whether INTRO_DOUBLE_FAIL asks `entry_point` to fail on its `call_number`-th
// call (counted from 1): "Name" fails every call, "Name:first" only the first.
bool told_to_fail(const char* entry_point, int call_number);

void sleep_milliseconds(unsigned milliseconds);

// The value of an environment variable, or "" when unset.
std::string environment(const char* name);

// The parts of `text` between separators ("a,b" gives "a" and "b").
std::vector<std::string> split(const std::string& text, char separator);

// A whole number, or a comma-separated list of them ("1,50,300"); anything
// malformed is a mistake in the test, so it aborts with a message naming the
// variable.
long whole_number(const std::string& text, const char* variable);
std::vector<long> number_list(const std::string& text, const char* variable);

// Aborts the test run with a message on standard error: a double that was
// configured wrongly must not let a test pass by accident.
[[noreturn]] void configuration_error(const char* variable, const std::string& text);

}  // namespace double_support
