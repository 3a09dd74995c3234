// Start-up and shutdown of the real executable with the recording doubles:
// display mode, library binding and its failures, the interrupt handler.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace {

using Lines = std::vector<std::string>;

// The last `count` lines of the log (all of them when there are fewer).
Lines last_lines(const Lines& log, size_t count) {
  return Lines(log.end() - std::min(count, log.size()), log.end());
}

// Both libraries closed, the music library first, after the media library's
// own shutdown.
const Lines orderly_shutdown = {"SDL_FreeSurface display", "SDL_Quit", "recording_mikmod unloaded",
                                "recording_sdl unloaded"};

// A run that goes all the way: stand-in assets, and Escape as soon as the
// main scene takes input, so it never waits for a key.
e2e::RunOptions whole_run(const e2e::Sandbox& sandbox) {
  sandbox.write_stand_in_assets();
  e2e::RunOptions options;
  options.environment = {{"INTRO_DOUBLE_EVENTS", "after_flip=0:keydown=27"}};
  return options;
}

std::string cannot_open(const std::string& path) {
  return "Failed to open " + path + "\n" + path + ": cannot open shared object file: No such file or directory\n";
}

TEST(Startup, FullScreenByDefaultThenOrderlyShutdown) {
  e2e::Sandbox sandbox;
  const e2e::RunResult result = sandbox.run(whole_run(sandbox));
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "");
  const Lines media = result.calls_starting_with("SDL_");
  ASSERT_GE(media.size(), 2u);
  EXPECT_EQ(media[0], "SDL_SetVideoMode 640 480 32 0x80000000");
  EXPECT_EQ(media[1], "SDL_ShowCursor 0");
  EXPECT_EQ(result.log[0], "recording_sdl loaded");
  EXPECT_EQ(result.log[1], "recording_mikmod loaded");
  EXPECT_EQ(last_lines(result.log, 4), orderly_shutdown);
  EXPECT_TRUE(result.calls_starting_with("recording_sdl leaked").empty());
}

TEST(Startup, WindowedArgumentOpensAWindowWhateverFollows) {
  e2e::Sandbox sandbox;
  for (const Lines& arguments : {Lines{"windowed"}, Lines{"windowed", "extra", "Windowed"}}) {
    e2e::RunOptions options = whole_run(sandbox);
    options.arguments = arguments;
    const e2e::RunResult result = sandbox.run(options);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.out + result.err, "");
    ASSERT_FALSE(result.calls_starting_with("SDL_").empty());
    EXPECT_EQ(result.calls_starting_with("SDL_")[0], "SDL_SetVideoMode 640 480 32 0x0");
    EXPECT_EQ(last_lines(result.log, 4), orderly_shutdown);
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

TEST(LibraryPaths, ComeFromPwdNotFromTheWorkingDirectory) {
  e2e::Sandbox elsewhere;
  e2e::Sandbox sandbox;
  sandbox.remove_file("data/sdl.library");
  sandbox.remove_file("data/mikmod.library");
  e2e::RunOptions options = whole_run(sandbox);  // assets come from the working directory
  options.pwd = elsewhere.directory();
  const e2e::RunResult result = sandbox.run(options);
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(last_lines(result.log, 4), orderly_shutdown);
}

TEST(LibraryPaths, TrailingSlashInPwdGivesADoubleSlash) {
  e2e::Sandbox sandbox;
  sandbox.remove_file("data/sdl.library");
  e2e::RunOptions options;
  options.pwd = sandbox.directory() + "/";
  const e2e::RunResult result = sandbox.run(options);
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.out, cannot_open(sandbox.directory() + "//data/sdl.library"));
}

// A PWD of exactly `length` characters that names the sandbox directory
// through a symbolic link, so only its length can make it fail.
std::string pwd_of_length(const e2e::Sandbox& sandbox, size_t length) {
  const std::string alias = sandbox.root() + "/" + std::string(length - sandbox.root().size() - 1, 'p');
  if (symlink(sandbox.directory().c_str(), alias.c_str()) != 0) ADD_FAILURE() << "cannot link " << alias;
  return alias;
}

TEST(LibraryPaths, LongestPwdThatFitsThePathBuffersIs234Characters) {
  e2e::Sandbox sandbox;
  e2e::RunOptions options = whole_run(sandbox);
  options.pwd = pwd_of_length(sandbox, 234);
  e2e::RunResult result = sandbox.run(options);
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(last_lines(result.log, 4), orderly_shutdown);

  options.pwd = pwd_of_length(sandbox, 235);
  result = sandbox.run(options);
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.out, "Cannot locate the libraries: the PWD environment variable is too long\n");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.log, Lines{});
}

TEST(LibraryPaths, UnsetPwdStopsBeforeAnyLibrary) {
  e2e::Sandbox sandbox;
  e2e::RunOptions options;
  options.unset_pwd = true;
  const e2e::RunResult result = sandbox.run(options);
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.out, "Cannot locate the libraries: the PWD environment variable is not set\n");
  EXPECT_EQ(result.log, Lines{});
}

TEST(Binding, MissingMediaLibraryIsReportedAndMusicLibraryNeverTried) {
  e2e::Sandbox sandbox;
  sandbox.remove_file("data/sdl.library");
  const e2e::RunResult result = sandbox.run();
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.out, cannot_open(sandbox.directory() + "/data/sdl.library"));
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.log, Lines{});
}

TEST(Binding, MissingMusicLibraryIsReportedAndMediaLibraryClosedAgain) {
  e2e::Sandbox sandbox;
  sandbox.remove_file("data/mikmod.library");
  const e2e::RunResult result = sandbox.run();
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.out, cannot_open(sandbox.directory() + "/data/mikmod.library"));
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.log, (Lines{"recording_sdl loaded", "recording_sdl unloaded"}));
}

TEST(Binding, FileThatIsNoLibraryGivesTheLoadersReason) {
  e2e::Sandbox sandbox;
  sandbox.remove_file("data/sdl.library");
  sandbox.write_file("data/sdl.library", std::string(100, 'x'));
  const e2e::RunResult result = sandbox.run();
  const std::string path = sandbox.directory() + "/data/sdl.library";
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.out, "Failed to open " + path + "\n" + path + ": invalid ELF header\n");
  EXPECT_EQ(result.log, Lines{});
}

TEST(Binding, LibraryWithoutAnEntryPointIsClosedAndNamed) {
  struct Case {
    const char* library_name;
    e2e::Library misplaced;
    const char* message;
    Lines log;
  };
  // Both names then lead to the same file, which is loaded once.
  const Case cases[] = {
      {"sdl.library", e2e::Library::music_double, "Missing entry point SDL_SetVideoMode in ",
       {"recording_mikmod loaded", "recording_mikmod unloaded"}},
      {"mikmod.library", e2e::Library::media_double, "Missing entry point Player_Start in ",
       {"recording_sdl loaded", "recording_sdl unloaded"}},
  };
  for (const Case& c : cases) {
    e2e::Sandbox sandbox;
    sandbox.place_library(c.library_name, c.misplaced);
    const e2e::RunResult result = sandbox.run();
    EXPECT_EQ(result.exit_status, 1) << c.library_name;
    EXPECT_EQ(result.out, c.message + sandbox.directory() + "/data/" + c.library_name + "\n");
    EXPECT_EQ(result.log, c.log);
  }
}

TEST(Display, ThatCannotBeOpenedIsReportedAndNothingIsDrawn) {
  e2e::Sandbox sandbox;
  e2e::RunOptions options;
  options.environment = {{"INTRO_DOUBLE_FAIL", "SDL_SetVideoMode"}};
  const e2e::RunResult result = sandbox.run(options);
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.err, "Cannot open a 640x480x32 display: SDL_SetVideoMode was told to fail\n");
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.log, (Lines{"recording_sdl loaded", "recording_mikmod loaded",
                               "SDL_SetVideoMode 640 480 32 0x80000000", "SDL_GetError", "SDL_Quit",
                               "recording_mikmod unloaded", "recording_sdl unloaded"}));
}

TEST(Interrupt, OutsideTheSceneIsIgnored) {
  e2e::Sandbox sandbox;
  e2e::RunOptions options = whole_run(sandbox);
  options.environment.emplace_back("INTRO_DOUBLE_HOLD", "SDL_ShowCursor:300");
  options.interrupt_on = "SDL_ShowCursor";
  const e2e::RunResult result = sandbox.run(options);
  EXPECT_TRUE(result.interrupted);
  EXPECT_EQ(result.signal, 0);
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(last_lines(result.log, 4), orderly_shutdown);
}

TEST(Interrupt, RepeatedOutsideTheSceneAreIgnoredToo) {
  e2e::Sandbox sandbox;
  e2e::RunOptions options = whole_run(sandbox);
  options.environment.emplace_back("INTRO_DOUBLE_HOLD", "SDL_ShowCursor:300");
  options.interrupt_every_ms = 40;
  const e2e::RunResult result = sandbox.run(options);
  EXPECT_EQ(result.signal, 0);
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(last_lines(result.log, 4), orderly_shutdown);
}

}  // namespace
