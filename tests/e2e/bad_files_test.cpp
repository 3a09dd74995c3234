// Bad asset files end to end, each named with what is wrong with it: every
// kind of unusable file once (the four images taking turns: they share one
// loader), a texture or logo of a size the scene cannot use, and the module
// missing, cut short or replaced by garbage, the last given to the real
// libmikmod.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

#include "e2e/harness.h"

namespace {

using e2e::image_header;
using e2e::read_file;

// Each is named by every user of the file (the small font is loaded by the
// scene and again by the credits page, which then only holds); the scene is
// skipped, so nothing of it is presented and the module is never handed to
// the music library, but the closing still runs and the run exits with 1.
TEST(BadFiles, AnUnusableAssetIsNamedAndSkipsTheScene) {
  const auto cut = [](size_t length) { return [=](const std::string& valid) { return valid.substr(0, length); }; };
  const auto blank = [](int width, int height) {
    return [=](const std::string&) { return image_header(width, height) + std::string(size_t(width) * height * 4, '\0'); };
  };
  // 65535 × 65535 × 4 bytes do not fit a 32-bit address space: there the
  // loader refuses the size itself before it looks at the file's length.
  const char* huge_image_refusal = sizeof(size_t) < 8 ? "not enough memory for the image" : "the file is cut short";
  struct Case {
    const char* asset;
    // The bad file made from the valid stand-in; none: the file is missing,
    // or a FIFO that no one ever writes to.
    std::function<std::string(const std::string& valid)> bytes;
    std::string reason;
  };
  const Case cases[] = {
      {"data/data01.dt", nullptr, "the file is missing"},
      {"data/data05.dt", nullptr, "the file is missing"},
      {"data/data02.dt", [](const std::string& v) { return v.substr(0, v.size() - 1); }, "the file is cut short"},  // by a byte
      {"data/data03.dt", cut(6), "the file is cut short"},
      {"data/data04.dt", cut(3), "the file is cut short"},
      {"data/data01.dt", [](std::string v) { return v.replace(4, 2, "\x18\0", 2); }, "the image is not 32 bits per pixel"},
      {"data/data02.dt", [](const std::string&) { return image_header(65535, 65535) + std::string(4096, '\x7f'); },
       huge_image_refusal},
      {"data/data03.dt", nullptr, "not a regular file"},
      {"data/data05.dt", nullptr, "not a regular file"},
      {"data/data04.dt", blank(255, 256), "the texture must be 256 x 256 pixels"},
      {"data/data03.dt", blank(600, 100), "the logo must be at most 562 x 469 pixels"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.asset) + ": " + c.reason);
    e2e::Sandbox sandbox;
    if (c.bytes != nullptr)
      sandbox.write_file(c.asset, c.bytes(read_file(sandbox.directory + "/" + c.asset)));
    else if (c.reason == "not a regular file")
      sandbox.make_fifo(c.asset);
    else
      sandbox.remove_file(c.asset);
    const e2e::RunResult result = sandbox.run();
    const bool small_font = std::string(c.asset) == "data/data02.dt";
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(e2e::lines_of(result.err),
              e2e::times(small_font ? 2 : 1, {"Cannot load " + std::string(c.asset) + ": " + c.reason}));
    EXPECT_EQ(e2e::matching(result.log, {"Player_", "SDL_UpdateRect", "SDL_PollEvent"}), e2e::Lines{});
    e2e::expect_orderly_end(result, 1, small_font ? 0 : e2e::credit_bytes);
  }
}

// The real libmikmod takes whatever is in data/data05.dt. A module it cannot
// load is named with the reason and skips the scene (exit status 1), one it
// loads in part plays what it has; neither may crash the run.
TEST(BadFiles, AModuleTheRealMusicLibraryCannotLoadIsNamedAndTheRunExitsWithOne) {
  const std::string module = read_file(std::string(GENERATED_DATA_DIR) + "/data05.dt");
  ASSERT_GT(module.size(), 1000u);
  std::mt19937 generator(5);
  std::string garbage(4096, '\0');
  for (char& byte : garbage) byte = char(generator());
  const std::string unloadable = "Cannot load data/data05.dt: not a module the music library can load (";
  struct Case {
    const char* what;
    std::string bytes;
    std::string message;  // the start of the one line on standard error; none when it plays
  };
  const Case cases[] = {
      {"empty", "", unloadable},
      {"header cut", module.substr(0, 60), unloadable},
      {"a third", module.substr(0, module.size() / 3), unloadable},
      {"all but the last byte", module.substr(0, module.size() - 1), ""},
      {"garbage", garbage, unloadable},
  };
  e2e::Sandbox sandbox(e2e::Library::system_mikmod);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sandbox.write_file("data/data05.dt", c.bytes);
    e2e::RunOptions options;
    options.real_time = true;  // the simulated clock is the doubles' alone
    options.environment = {"INTRO_DOUBLE_EVENTS=" + e2e::escape_in_frame(1)};
    const e2e::RunResult result = sandbox.run(options);
    e2e::Lines ours;  // without the line that says it plays without sound, on a machine with none
    for (const std::string& line : e2e::lines_of(result.err))
      if (line != "No sound device: the intro plays without sound") ours.push_back(line);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(ours.size(), c.message.empty() ? 0u : 1u) << result.err;
    EXPECT_TRUE(ours.empty() || e2e::starts_with(ours[0], c.message)) << result.err;
    EXPECT_EQ(result.exit_status, c.message.empty() ? 0 : 1);
    EXPECT_EQ(result.signal, 0);
  }
}

}  // namespace
