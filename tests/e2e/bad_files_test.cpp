// Bad asset files end to end, each named with what is wrong with it: an image
// missing, truncated, of the wrong depth, with an absurd 65535 × 65535 header
// or a FIFO (each kind once, the four images taking turns: they share one
// loader), a texture or logo of a size the scene cannot use; and the module
// cut short or replaced by garbage, given to the real libmikmod.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace {

using e2e::image_header;
using e2e::read_file;

int u16_at(const std::string& bytes, size_t offset) {
  return int(uint8_t(bytes[offset])) | int(uint8_t(bytes[offset + 1])) << 8;
}

struct BadImage {
  const char* what;
  // The bad file made from the valid stand-in; none for "missing" and for a
  // FIFO, which no one ever writes to.
  std::string (*bytes)(const std::string& valid);
  const char* reason;
  bool fifo = false;
};

void make_fifo(const e2e::Sandbox& sandbox, const std::string& relative) {
  if (mkfifo((sandbox.directory() + "/" + relative).c_str(), 0644) != 0) ADD_FAILURE() << "cannot make " << relative;
}

constexpr const char* cut_short = "the file is cut short";
// 65535 × 65535 × 4 bytes do not fit a 32-bit address space: there the
// loader refuses the size itself before it looks at the file's length.
constexpr const char* huge_image_refusal = sizeof(size_t) < 8 ? "not enough memory for the image" : cut_short;

const BadImage bad_images[] = {
    {"missing", nullptr, "the file is missing"},
    {"truncated", [](const std::string& valid) { return valid.substr(0, 6 + (valid.size() - 6) / 2); }, cut_short},
    {"header only", [](const std::string& valid) { return valid.substr(0, 6); }, cut_short},
    {"cut inside the header", [](const std::string& valid) { return valid.substr(0, 3); }, cut_short},
    {"24 bits deep",
     [](const std::string& valid) { return image_header(u16_at(valid, 0), u16_at(valid, 2), 24) + valid.substr(6); },
     "the image is not 32 bits per pixel"},
    {"65535 x 65535", [](const std::string&) { return image_header(65535, 65535) + std::string(4096, '\x7f'); },
     huge_image_refusal},
    {"a FIFO", nullptr, "not a regular file", true},
};

struct Case {
  std::string asset;
  const BadImage* bad;       // or a readable image of the wrong size:
  int width, height;
  std::string reason;
};

std::vector<Case> cases() {
  const char* const assets[] = {"data/data01.dt", "data/data02.dt", "data/data03.dt", "data/data04.dt"};
  std::vector<Case> all;
  for (size_t kind = 0; kind < std::size(bad_images); ++kind)
    all.push_back({assets[kind % 4], &bad_images[kind], 0, 0, bad_images[kind].reason});
  all.push_back({"data/data04.dt", nullptr, 255, 256, "the texture must be 256 x 256 pixels"});
  all.push_back({"data/data03.dt", nullptr, 600, 100, "the logo must be at most 562 x 469 pixels"});
  return all;
}

// Each is named by every user of the file (the small font is loaded by the
// scene and again by the credits page, which then only holds); the scene is skipped, so nothing of
// it is presented and the music never loads, but the closing still runs and
// the run ends in order with status 1.
TEST(BadFiles, AnUnusableImageIsNamedAndSkipsTheScene) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.asset + " " + (c.bad != nullptr ? c.bad->what : "of the wrong size"));
    e2e::Sandbox sandbox;
    sandbox.write_stand_in_assets();
    const std::string valid = read_file(sandbox.directory() + "/" + c.asset);
    sandbox.remove_file(c.asset);
    if (c.bad == nullptr)
      sandbox.write_image(c.asset, c.width, c.height, std::vector<uint32_t>(size_t(c.width) * size_t(c.height)));
    else if (c.bad->bytes != nullptr)
      sandbox.write_file(c.asset, c.bad->bytes(valid));
    else if (c.bad->fifo)
      make_fifo(sandbox, c.asset);
    e2e::RunOptions options;
    options.environment = {{"INTRO_DOUBLE_EVENTS", "after_flip=0:keydown=27"}};
    const e2e::RunResult result = sandbox.run(options);

    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.out, "");
    const e2e::Lines messages = e2e::lines_of(result.err);
    EXPECT_EQ(messages.size(), c.asset == "data/data02.dt" ? 2u : 1u);
    for (const std::string& message : messages) EXPECT_EQ(message, "Cannot load " + c.asset + ": " + c.reason);
    EXPECT_EQ(e2e::count_of(result.log, "Player_Load"), 0);
    EXPECT_EQ(e2e::count_of(result.log, "SDL_UpdateRect"), 0);
    EXPECT_EQ(e2e::count_of(result.log, "SDL_PollEvent"), 0);
    EXPECT_EQ(e2e::tail(result.calls_starting_with("MikMod_"), 1), e2e::Lines{"MikMod_Exit"});
    const e2e::Lines closing = e2e::closing_pacing(c.asset == "data/data02.dt" ? 0 : e2e::credit_bytes);
    EXPECT_EQ(e2e::tail(e2e::pacing(result.log), closing.size()), closing);
    e2e::expect_orderly_end(result);
  }
}

// The real libmikmod takes whatever is in data/data05.dt (a missing one never
// reaches it: SceneRun checks that with the doubles). A module it cannot
// load is named with the reason and skips the scene (exit status 1), one it
// loads in part plays what it has; neither may crash the run. A FIFO, which
// the library would wait on forever, is refused before the library sees it.
TEST(BadFiles, AModuleTheRealMusicLibraryCannotLoadIsNamedAndTheRunExitsWithOne) {
  const std::string module = read_file(std::string(GENERATED_DATA_DIR) + "/data05.dt");
  ASSERT_GT(module.size(), 1000u);
  std::mt19937 generator(5);
  std::string garbage(4096, '\0');
  for (char& byte : garbage) byte = char(generator());
  const std::string unloadable = "Cannot load data/data05.dt: not a module the music library can load (";
  struct ModuleCase {
    const char* what;
    std::string bytes;
    std::string message;  // the start of the one line on standard error; none when it plays
  };
  const ModuleCase cases[] = {
      {"empty", "", unloadable},
      {"header cut", module.substr(0, 60), unloadable},
      {"a third", module.substr(0, module.size() / 3), unloadable},
      {"all but the last byte", module.substr(0, module.size() - 1), ""},
      {"garbage", garbage, unloadable},
      {"an image header of 65535 x 65535", image_header(65535, 65535) + garbage, unloadable},
      {"a FIFO", "", "Cannot load data/data05.dt: not a regular file"},
  };
  e2e::Sandbox sandbox(e2e::Library::system_sdl, e2e::Library::system_mikmod);
  sandbox.write_stand_in_assets();
  for (const ModuleCase& c : cases) {
    SCOPED_TRACE(c.what);
    sandbox.remove_file("data/data05.dt");
    if (std::string(c.what) == "a FIFO")
      make_fifo(sandbox, "data/data05.dt");
    else
      sandbox.write_file("data/data05.dt", c.bytes);
    e2e::RunOptions options;
    options.interrupt_every_ms = 250;  // ends a scene that runs; ignored elsewhere
    const e2e::RunResult result = sandbox.run(options);
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.out, "");
    e2e::Lines ours;  // without the line that says it plays without sound, on a machine with none
    for (const std::string& line : e2e::lines_of(result.err))
      if (line != "No sound device: the intro plays without sound") ours.push_back(line);
    if (c.message.empty()) {
      EXPECT_EQ(result.exit_status, 0);
      EXPECT_EQ(ours, e2e::Lines{});
    } else {
      EXPECT_EQ(result.exit_status, 1);
      EXPECT_EQ(ours.size(), 1u) << result.err;
      if (!ours.empty()) {
        EXPECT_TRUE(e2e::starts_with(ours[0], c.message)) << ours[0];
      }
    }
  }
}

}  // namespace
