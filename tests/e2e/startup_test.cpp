// Start-up and shutdown of the real executable with the recording doubles:
// the arguments, where the libraries come from, every way start-up can fail,
// and the bad asset files (interrupts in every phase: scene_test.cpp).
#include <regex>

#include "e2e/harness.h"  // with GoogleTest and the standard headers it uses

namespace {

using namespace e2e;

// Every outcome of start-up: the exit status (0 for a run that goes all the
// way, which Escape ends in the scene's first frame; 2 for a usage error,
// before any library loads; 1 otherwise), the messages, exact but for the
// loader's reasons, which it words as it likes (a pattern: ".+" stands for
// a reason) and what the call log saw of the libraries: all of it after a
// failure, the display's opening after a whole run, whose log the orderly end
// checks to its end. Full screen without arguments (the display that cannot
// be opened), windowed with "windowed" whatever follows it; the libraries are
// found through PWD (up to 234 characters), the assets in the working
// directory. A library that is missing, or not a library at all, fails in the
// loader alike, with its own reason: one such row stands for both, and for
// either library.
TEST(Startup, EveryOutcomeOfTheArgumentsPwdAndLibraries) {
  Sandbox sandbox, elsewhere;  // the second holds the libraries when PWD names it
  // A PWD of `length` characters that names the second sandbox's directory,
  // made up with slashes, which name the same directory: only its length counts.
  const auto pwd_of_length = [&](size_t length) {
    return "PWD=" + elsewhere.directory + std::string(length - elsewhere.directory.size(), '/');
  };
  const std::string& d = sandbox.directory;
  const auto cannot_open = [&](const std::string& library, const std::string& reason = ".+") {
    return "Failed to open " + d + library + "\n" + d + library + ": " + reason +
           "\nStart the intro from the directory that holds data/, for example with ./run-intro.sh\n";
  };
  const Lines media_only{"recording_sdl loaded", "recording_sdl unloaded"};
  const Lines music_only{"recording_mikmod loaded", "recording_mikmod unloaded"};
  const std::string usage = "usage: intro [windowed]\n";
  const std::string unlocated = "Cannot locate the libraries: the PWD environment variable is ";
  struct Case {
    const char* name;
    Lines arguments, environment;
    std::function<void(const Sandbox&)> change;  // to the run's data/
    int status;
    std::string out, err;
    Lines log;
  };
  const Case cases[] = {
      {"windowed and more, the libraries elsewhere, named by a PWD of 234 characters",
       {"windowed", "extra", "Windowed"}, {pwd_of_length(234)},
       [](const Sandbox& s) { s.remove_file("data/sdl.library"), s.remove_file("data/mikmod.library"); }, 0, "", "",
       {"SDL_SetVideoMode 640 480 32 0x0", "SDL_ShowCursor 0"}},
      {"capitalised", {"Windowed"}, {}, nullptr, 2, "", usage, {}},
      {"longer", {"windowedX"}, {}, nullptr, 2, "", usage, {}},
      {"empty argument", {""}, {}, nullptr, 2, "", usage, {}},
      {"unset PWD", {}, {"PWD"}, nullptr, 1, unlocated + "not set\n", "", {}},
      {"PWD of 235 characters", {}, {pwd_of_length(235)}, nullptr, 1, unlocated + "too long\n", "", {}},
      // The media library is missing, and its path is PWD followed by "/data/".
      {"trailing slash in PWD", {}, {"PWD=" + d + "/"}, [](const Sandbox& s) { s.remove_file("data/sdl.library"); }, 1,
       cannot_open("//data/sdl.library"), "", {}},
      {"music library a FIFO", {}, {}, [](const Sandbox& s) { s.make_fifo("data/mikmod.library"); }, 1,
       cannot_open("/data/mikmod.library", "not a regular file"), "", media_only},
      // Both names then lead to the same file, which is loaded once.
      {"media library without its entry points", {}, {},
       [](const Sandbox& s) { s.place_library("sdl.library", MUSIC_DOUBLE); }, 1,
       "Missing entry point SDL_SetVideoMode in " + d + "/data/sdl.library\n", "", music_only},
      {"music library without its entry points", {}, {},
       [](const Sandbox& s) { s.place_library("mikmod.library", MEDIA_DOUBLE); }, 1,
       "Missing entry point Player_Start in " + d + "/data/mikmod.library\n", "", media_only},
      {"display that cannot be opened", {}, {"INTRO_DOUBLE_FAIL=SDL_SetVideoMode"}, nullptr, 1, "",
       "Cannot open a 640x480x32 display: SDL_SetVideoMode was told to fail\n",
       {"recording_sdl loaded", "recording_mikmod loaded", "SDL_SetVideoMode 640 480 32 0x80000000", "SDL_GetError",
        "SDL_Quit", "recording_mikmod unloaded", "recording_sdl unloaded"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sandbox.restore();
    if (c.change != nullptr) c.change(sandbox);
    Lines environment{"INTRO_DOUBLE_EVENTS=" + in_frame(1)};
    const RunResult result = sandbox.run({environment += c.environment, c.arguments});
    EXPECT_EQ(result.exit_status, c.status);
    EXPECT_TRUE(std::regex_match(result.out, std::regex(c.out))) << result.out;
    EXPECT_EQ(result.err, c.err);
    if (c.status == 0) expect_orderly_end(result);
    EXPECT_EQ(c.status == 0 ? matching(result.log, {"SDL_SetVideoMode", "SDL_ShowCursor"}) : result.log, c.log);
  }
}

// Bad asset files, each named with what is wrong with it: every kind of
// unusable file once (the four images taking turns: they share one loader),
// the module as a file that is not a regular one (a missing module:
// CreditsRun), and a texture or logo of a size the scene cannot use (a logo
// a pixel too wide, then too high, to sway and rise on the display).
//
// Each is named by every user of the file (the small font is loaded by the
// scene and again by the credits page, which then only holds); the scene is
// skipped, so nothing of it is presented and the module is never handed to
// the music library, but the closing still runs and the run exits with 1.
TEST(BadFiles, AnUnusableAssetIsNamedAndSkipsTheScene) {
  const auto blank = [](int width, int height) {
    return image_header(width, height) + std::string(size_t(width) * height * 4, '\0');
  };
  // 65535 × 65535 × 4 bytes do not fit a 32-bit address space: there the
  // loader refuses the size itself before it looks at the file's length.
  const char* huge_image_refusal = sizeof(size_t) < 8 ? "not enough memory for the image" : "the file is cut short";
  const std::string missing = "the file is missing", fifo = "not a regular file", cut = "the file is cut short";
  // The asset, the bytes of the bad file (unless it is missing or a FIFO that
  // no one ever writes to), and the reason.
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {"data/data01.dt", "", missing},
      {"data/data02.dt", image_header(256, 96) + std::string(256 * 96 * 4 - 1, '\0'), cut},  // by a byte
      {"data/data04.dt", image_header(256, 256).substr(0, 3), cut},
      {"data/data01.dt", blank(512, 192).replace(4, 2, "\x18\0", 2), "the image is not 32 bits per pixel"},
      {"data/data02.dt", image_header(65535, 65535) + std::string(4096, '\x7f'), huge_image_refusal},
      {"data/data03.dt", "", fifo},
      {"data/data05.dt", "", fifo},
      {"data/data04.dt", blank(255, 256), "the texture must be 256 x 256 pixels"},
      {"data/data03.dt", blank(563, 1), "the logo must be at most 562 x 469 pixels"},
      {"data/data03.dt", blank(1, 470), "the logo must be at most 562 x 469 pixels"},
  };
  for (const auto& [asset, bytes, reason] : cases) {
    SCOPED_TRACE(asset + ": " + reason);
    Sandbox sandbox;
    if (reason == missing) sandbox.remove_file(asset);
    if (reason == fifo) sandbox.make_fifo(asset);
    if (!bytes.empty()) sandbox.write_file(asset, bytes);
    const RunResult result = sandbox.run();
    const bool small_font = asset == "data/data02.dt";
    const std::string named = "Cannot load " + asset + ": " + reason + "\n";
    expect_orderly_end(result, small_font ? named + named : named, 1, small_font ? 0 : credit_bytes);
    EXPECT_EQ(matching(result.log, {"Player_", "SDL_UpdateRect", "SDL_PollEvent"}), Lines{});
  }
}

// The real libmikmod takes whatever is in data/data05.dt. A module it cannot
// load is named with the reason and skips the scene (exit status 1), one it
// loads in part plays what it has; neither may crash the run.
TEST(BadFiles, AModuleTheRealMusicLibraryCannotLoadIsNamedAndTheRunExitsWithOne) {
  const std::string module = read_file(std::string(GENERATED_DATA_DIR) + "/data05.dt");
  // On a machine without sound its line comes first: the music library starts
  // before the module loads. The library's reason ends the one line.
  const std::string plays = "(No sound device: the intro plays without sound\n)?";
  const std::string unloadable =
      plays + "Cannot load data/data05.dt: not a module the music library can load \\(.+\\)\n";
  // The module's bytes, then standard error.
  const std::pair<std::string, std::string> cases[] = {
      {module.substr(0, 60), unloadable},  // the header cut
      {module.substr(0, module.size() - 1), plays},
  };
  Sandbox sandbox;
  sandbox.place_library("mikmod.library", SYSTEM_MIKMOD_LIBRARY);
  for (const auto& [bytes, err] : cases) {
    SCOPED_TRACE(std::to_string(bytes.size()) + " bytes");
    sandbox.write_file("data/data05.dt", bytes);
    // On the real clock: the simulated one is the doubles' alone.
    const RunResult result = sandbox.run({{"INTRO_DOUBLE_EVENTS=" + in_frame(1)}, {}, true});
    EXPECT_EQ(result.out, "");
    EXPECT_TRUE(std::regex_match(result.err, std::regex(err))) << result.err;
    EXPECT_EQ(result.exit_status, err == plays ? 0 : 1);
  }
}

}  // namespace
