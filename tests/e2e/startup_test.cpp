// Start-up and shutdown of the real executable with the recording doubles:
// the arguments, where the libraries come from, and every way start-up can
// fail (interrupts in every phase: interrupt_test.cpp).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <regex>
#include <string>

#include "e2e/harness.h"

namespace {

using e2e::Lines;
using e2e::RunOptions;
using e2e::Sandbox;

// A PWD of exactly `length` characters that names the sandbox directory
// through a symbolic link, so only its length can make it fail.
std::string pwd_of_length(const Sandbox& sandbox, size_t length) {
  const std::string alias = sandbox.root + "/" + std::string(length - sandbox.root.size() - 1, 'p');
  if (symlink(sandbox.directory.c_str(), alias.c_str()) != 0) ADD_FAILURE() << "cannot link " << alias;
  return alias;
}

// Every outcome of start-up: the exit status (0 for a run that goes all the
// way, which Escape ends in the scene's first frame; 2 for a usage error,
// before any library loads; 1 otherwise), the messages, exact but for the
// loader's reasons, which it words as it likes (a pattern: "{d}" stands for
// the run's directory, ".+" for a reason) and what the call log saw of the libraries, all
// of it after a failure, its start after a whole run. Full screen without
// arguments, windowed with "windowed" whatever follows it; the libraries are
// found through PWD (up to 234 characters), the assets in the working
// directory.
TEST(Startup, EveryOutcomeOfTheArgumentsPwdAndLibraries) {
  using Prepare = std::function<void(const Sandbox&, RunOptions&)>;
  const auto arguments = [](Lines given) { return [=](const Sandbox&, RunOptions& o) { o.arguments = given; }; };
  const auto cannot_open = [](const std::string& library, const std::string& reason = ".+") {
    return "Failed to open {d}" + library + "\n{d}" + library + ": " + reason +
           "\nStart the intro from the directory that holds data/, for example with ./run-intro.sh\n";
  };
  const auto started = [](const char* mode) {
    return Lines{"recording_sdl loaded", "recording_mikmod loaded", "SDL_SetVideoMode 640 480 32 " + std::string(mode),
                 "SDL_ShowCursor 0"};
  };
  const Lines media_only{"recording_sdl loaded", "recording_sdl unloaded"};
  const Lines music_only{"recording_mikmod loaded", "recording_mikmod unloaded"};
  const std::string usage = "usage: intro [windowed]\n";
  Sandbox elsewhere;  // holds the libraries when PWD names it
  struct Case {
    const char* name;
    Prepare prepare;
    int status;
    std::string out, err;
    Lines log;
  };
  const Case cases[] = {
      {"no arguments", arguments({}), 0, "", "", started("0x80000000")},
      {"windowed, PWD of 234 characters",
       [](const Sandbox& s, RunOptions& o) { o.arguments = {"windowed"}, o.environment = {"PWD=" + pwd_of_length(s, 234)}; },
       0, "", "", started("0x0")},
      {"windowed and more, the libraries elsewhere",
       [&](const Sandbox& s, RunOptions& o) {
         s.remove_file("data/sdl.library");
         s.remove_file("data/mikmod.library");
         o.arguments = {"windowed", "extra", "Windowed"};
         o.environment = {"PWD=" + elsewhere.directory};
       },
       0, "", "", started("0x0")},
      {"capitalised", arguments({"Windowed"}), 2, "", usage, {}},
      {"longer", arguments({"windowedX"}), 2, "", usage, {}},
      {"empty argument", arguments({""}), 2, "", usage, {}},
      {"unset PWD", [](const Sandbox&, RunOptions& o) { o.environment = {"PWD"}; }, 1,
       "Cannot locate the libraries: the PWD environment variable is not set\n", "", {}},
      {"PWD of 235 characters", [](const Sandbox& s, RunOptions& o) { o.environment = {"PWD=" + pwd_of_length(s, 235)}; },
       1, "Cannot locate the libraries: the PWD environment variable is too long\n", "", {}},
      // The media library is missing, and its path is PWD followed by "/data/".
      {"trailing slash in PWD",
       [](const Sandbox& s, RunOptions& o) {
         s.remove_file("data/sdl.library");
         o.environment = {"PWD=" + s.directory + "/"};
       },
       1, cannot_open("//data/sdl.library"), "", {}},
      {"missing music library", [](const Sandbox& s, RunOptions&) { s.remove_file("data/mikmod.library"); }, 1,
       cannot_open("/data/mikmod.library"), "", media_only},
      {"no library at all", [](const Sandbox& s, RunOptions&) { s.write_file("data/sdl.library", std::string(100, 'x')); },
       1, cannot_open("/data/sdl.library"), "", {}},
      {"music library a FIFO", [](const Sandbox& s, RunOptions&) { s.make_fifo("data/mikmod.library"); }, 1,
       cannot_open("/data/mikmod.library", "not a regular file"), "", media_only},
      // Both names then lead to the same file, which is loaded once.
      {"media library without its entry points",
       [](const Sandbox& s, RunOptions&) { s.place_library("sdl.library", e2e::Library::music_double); }, 1,
       "Missing entry point SDL_SetVideoMode in {d}/data/sdl.library\n", "", music_only},
      {"music library without its entry points",
       [](const Sandbox& s, RunOptions&) { s.place_library("mikmod.library", e2e::Library::media_double); }, 1,
       "Missing entry point Player_Start in {d}/data/mikmod.library\n", "", media_only},
      {"display that cannot be opened", [](const Sandbox&, RunOptions& o) { o.environment = {"INTRO_DOUBLE_FAIL=SDL_SetVideoMode"}; },
       1, "", "Cannot open a 640x480x32 display: SDL_SetVideoMode was told to fail\n",
       {"recording_sdl loaded", "recording_mikmod loaded", "SDL_SetVideoMode 640 480 32 0x80000000", "SDL_GetError",
        "SDL_Quit", "recording_mikmod unloaded", "recording_sdl unloaded"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Sandbox sandbox;
    RunOptions options;
    c.prepare(sandbox, options);
    options.environment.push_back("INTRO_DOUBLE_EVENTS=" + e2e::escape_in_frame(1));
    const e2e::RunResult result = sandbox.run(options);
    std::string out = c.out;
    for (size_t at; (at = out.find("{d}")) != std::string::npos;) out.replace(at, 3, sandbox.directory);
    EXPECT_EQ(result.exit_status, c.status);
    EXPECT_TRUE(std::regex_match(result.out, std::regex(out))) << result.out;
    EXPECT_EQ(result.err, c.err);
    if (c.status == 0) e2e::expect_orderly_end(result);
    const size_t seen = c.status == 0 ? std::min<size_t>(4, result.log.size()) : result.log.size();
    EXPECT_EQ(Lines(result.log.begin(), result.log.begin() + long(seen)), c.log);
  }
}

}  // namespace
