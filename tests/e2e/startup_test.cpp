// Start-up and shutdown of the real executable with the recording doubles:
// display mode, library binding and its failures (interrupts in every phase
// are the stress test's).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace {

using e2e::Lines;

// A run that goes all the way: stand-in assets, and Escape as soon as the
// main scene takes input, so it never waits for a key.
e2e::RunOptions whole_run(const e2e::Sandbox& sandbox) {
  sandbox.write_stand_in_assets();
  e2e::RunOptions options;
  options.environment = {{"INTRO_DOUBLE_EVENTS", "after_flip=0:keydown=27"}};
  return options;
}

// Silent, exit status 0 and an orderly end.
void expect_orderly_run(const e2e::RunResult& result, const std::string& what) {
  SCOPED_TRACE(what);
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.out + result.err, "");
  e2e::expect_orderly_end(result);
}

// The loader's two lines, then what to do. The system loader words its
// reason as it likes: "*" stands for any reason (see matches).
std::string cannot_open(const std::string& path, const std::string& reason = "*") {
  return "Failed to open " + path + "\n" + path + ": " + reason +
         "\nStart the intro from the directory that holds data/, for example with ./run-intro.sh\n";
}

// Line by line the same, where a line of `expected` that ends in ": *" takes
// any non-empty text after the colon.
bool matches(const std::string& actual, const std::string& expected) {
  const Lines got = e2e::lines_of(actual), wanted = e2e::lines_of(expected);
  if (got.size() != wanted.size()) return false;
  for (size_t i = 0; i < got.size(); ++i) {
    const std::string& line = wanted[i];
    const bool any_reason = line.size() > 3 && line.compare(line.size() - 3, 3, ": *") == 0;
    if (any_reason ? got[i].size() <= line.size() - 1 || !e2e::starts_with(got[i], line.substr(0, line.size() - 1))
                   : got[i] != line)
      return false;
  }
  return true;
}

// A PWD of exactly `length` characters that names the sandbox directory
// through a symbolic link, so only its length can make it fail.
std::string pwd_of_length(const e2e::Sandbox& sandbox, size_t length) {
  const std::string alias = sandbox.root() + "/" + std::string(length - sandbox.root().size() - 1, 'p');
  if (symlink(sandbox.directory().c_str(), alias.c_str()) != 0) ADD_FAILURE() << "cannot link " << alias;
  return alias;
}

TEST(Startup, FullScreenByDefaultWindowedOnRequestWhateverFollows) {
  e2e::Sandbox sandbox;
  for (const Lines& arguments : {Lines{}, Lines{"windowed"}, Lines{"windowed", "extra", "Windowed"}}) {
    e2e::RunOptions options = whole_run(sandbox);
    options.arguments = arguments;
    const e2e::RunResult result = sandbox.run(options);
    expect_orderly_run(result, std::to_string(arguments.size()) + " arguments");
    const Lines media = result.calls_starting_with("SDL_");
    ASSERT_GE(media.size(), 2u);
    EXPECT_EQ(media[0], arguments.empty() ? "SDL_SetVideoMode 640 480 32 0x80000000" : "SDL_SetVideoMode 640 480 32 0x0");
    EXPECT_EQ(media[1], "SDL_ShowCursor 0");
    EXPECT_EQ(Lines(result.log.begin(), result.log.begin() + 2), (Lines{"recording_sdl loaded", "recording_mikmod loaded"}));
  }
}

TEST(Startup, AnyOtherArgumentIsAUsageErrorBeforeAnyLibraryLoads) {
  e2e::Sandbox sandbox;
  for (const char* argument : {"Windowed", "windowedX", "window", "", "fullscreen"}) {
    e2e::RunOptions options;
    options.arguments = {argument};
    const e2e::RunResult result = sandbox.run(options);
    EXPECT_EQ(result.exit_status, 2) << argument;
    EXPECT_EQ(result.err, "usage: intro [windowed]\n") << argument;
    EXPECT_EQ(result.out, "") << argument;
    EXPECT_EQ(result.log, Lines{}) << argument;
  }
}

TEST(Startup, RunsThroughWithLibrariesFromPwdOfUpTo234Characters) {
  {
    e2e::Sandbox elsewhere, sandbox;  // the libraries come from PWD, the assets from the working directory
    sandbox.remove_file("data/sdl.library");
    sandbox.remove_file("data/mikmod.library");
    e2e::RunOptions options = whole_run(sandbox);
    options.pwd = elsewhere.directory();
    expect_orderly_run(sandbox.run(options), "PWD elsewhere");
  }
  e2e::Sandbox sandbox;
  e2e::RunOptions options = whole_run(sandbox);
  options.pwd = pwd_of_length(sandbox, 234);
  expect_orderly_run(sandbox.run(options), "PWD of 234 characters");
}

// Every way start-up can fail: status 1, the exact message, and what the
// call log saw of the libraries.
TEST(Startup, FailuresAreReportedAndLeaveNoLibraryOpen) {
  struct Case {
    const char* name;
    std::function<void(const e2e::Sandbox&, e2e::RunOptions&)> prepare;
    std::function<std::string(const std::string& directory)> out;
    std::string err;
    Lines log;
  };
  const auto missing = [](const char* file) {
    return [file](const e2e::Sandbox& sandbox, e2e::RunOptions&) { sandbox.remove_file(file); };
  };
  const auto misplaced = [](const char* name, e2e::Library library) {
    return [=](const e2e::Sandbox& sandbox, e2e::RunOptions&) { sandbox.place_library(name, library); };
  };
  const auto printed = [](const std::string& text) { return [=](const std::string&) { return text; }; };
  const Case cases[] = {
      {"unset PWD", [](const e2e::Sandbox&, e2e::RunOptions& o) { o.unset_pwd = true; },
       printed("Cannot locate the libraries: the PWD environment variable is not set\n"), "", {}},
      {"PWD of 235 characters", [](const e2e::Sandbox& s, e2e::RunOptions& o) { o.pwd = pwd_of_length(s, 235); },
       printed("Cannot locate the libraries: the PWD environment variable is too long\n"), "", {}},
      {"trailing slash in PWD",
       [](const e2e::Sandbox& s, e2e::RunOptions& o) {
         s.remove_file("data/sdl.library");
         o.pwd = s.directory() + "/";
       },
       [](const std::string& d) { return cannot_open(d + "//data/sdl.library"); }, "", {}},
      {"missing media library", missing("data/sdl.library"),
       [](const std::string& d) { return cannot_open(d + "/data/sdl.library"); }, "", {}},
      {"missing music library", missing("data/mikmod.library"),
       [](const std::string& d) { return cannot_open(d + "/data/mikmod.library"); }, "",
       {"recording_sdl loaded", "recording_sdl unloaded"}},
      {"no library at all",
       [](const e2e::Sandbox& s, e2e::RunOptions&) {
         s.remove_file("data/sdl.library");
         s.write_file("data/sdl.library", std::string(100, 'x'));
       },
       [](const std::string& d) { return cannot_open(d + "/data/sdl.library"); },
       "", {}},
      {"music library a FIFO",
       [](const e2e::Sandbox& s, e2e::RunOptions&) {
         s.remove_file("data/mikmod.library");
         mkfifo((s.directory() + "/data/mikmod.library").c_str(), 0644);
       },
       [](const std::string& d) { return cannot_open(d + "/data/mikmod.library", "not a regular file"); },
       "", {"recording_sdl loaded", "recording_sdl unloaded"}},
      // Both names then lead to the same file, which is loaded once.
      {"media library without its entry points", misplaced("sdl.library", e2e::Library::music_double),
       [](const std::string& d) { return "Missing entry point SDL_SetVideoMode in " + d + "/data/sdl.library\n"; }, "",
       {"recording_mikmod loaded", "recording_mikmod unloaded"}},
      {"music library without its entry points", misplaced("mikmod.library", e2e::Library::media_double),
       [](const std::string& d) { return "Missing entry point Player_Start in " + d + "/data/mikmod.library\n"; }, "",
       {"recording_sdl loaded", "recording_sdl unloaded"}},
      {"display that cannot be opened",
       [](const e2e::Sandbox&, e2e::RunOptions& o) { o.environment = {{"INTRO_DOUBLE_FAIL", "SDL_SetVideoMode"}}; },
       printed(""), "Cannot open a 640x480x32 display: SDL_SetVideoMode was told to fail\n",
       {"recording_sdl loaded", "recording_mikmod loaded", "SDL_SetVideoMode 640 480 32 0x80000000", "SDL_GetError",
        "SDL_Quit", "recording_mikmod unloaded", "recording_sdl unloaded"}},
  };
  for (const Case& c : cases) {
    e2e::Sandbox sandbox;
    e2e::RunOptions options;
    c.prepare(sandbox, options);
    const e2e::RunResult result = sandbox.run(options);
    EXPECT_EQ(result.exit_status, 1) << c.name;
    EXPECT_TRUE(matches(result.out, c.out(sandbox.directory()))) << c.name << ":\n" << result.out;
    EXPECT_EQ(result.err, c.err) << c.name;
    EXPECT_EQ(result.log, c.log) << c.name;
  }
}

}  // namespace
