// Bad asset files end to end: each of the four images missing, truncated, of
// the wrong depth or with an absurd 65535 × 65535 header; and the module
// missing, cut short or replaced by garbage, given to the real libmikmod.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace {

using Lines = std::vector<std::string>;

const char* const image_assets[] = {"data/data01.dt", "data/data02.dt", "data/data03.dt", "data/data04.dt"};

std::string header(int width, int height, int depth) {
  std::string bytes;
  for (int field : {width, height, depth}) {
    bytes += char(field & 0xff);
    bytes += char((field >> 8) & 0xff);
  }
  return bytes;
}

std::string read_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

Lines lines_of(const std::string& text) {
  Lines lines;
  for (size_t start = 0, end; start < text.size(); start = end + 1) {
    end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

int u16_at(const std::string& bytes, size_t offset) {
  return int(uint8_t(bytes[offset])) | int(uint8_t(bytes[offset + 1])) << 8;
}

struct BadImage {
  const char* what;
  // The bad file made from the valid stand-in.
  std::string (*bytes)(const std::string& valid);
};

const BadImage bad_images[] = {
    {"missing", [](const std::string&) { return std::string(); }},
    {"truncated", [](const std::string& valid) { return valid.substr(0, 6 + (valid.size() - 6) / 2); }},
    {"header only", [](const std::string& valid) { return valid.substr(0, 6); }},
    {"cut inside the header", [](const std::string& valid) { return valid.substr(0, 3); }},
    {"24 bits deep", [](const std::string& valid) { return header(u16_at(valid, 0), u16_at(valid, 2), 24) + valid.substr(6); }},
    {"65535 x 65535", [](const std::string&) { return header(65535, 65535, 32) + std::string(4096, '\x7f'); }},
};

TEST(BadFiles, AnUnusableImageIsNamedAndTheRunStillEndsInOrder) {
  for (const char* asset : image_assets) {
    for (const BadImage& bad : bad_images) {
      SCOPED_TRACE(std::string(asset) + " " + bad.what);
      e2e::Sandbox sandbox;
      sandbox.write_stand_in_assets();
      const std::string replacement = bad.bytes(read_file(sandbox.directory() + "/" + asset));
      sandbox.remove_file(asset);
      if (std::string(bad.what) != "missing") sandbox.write_file(asset, replacement);
      e2e::RunOptions options;
      options.environment = {{"INTRO_DOUBLE_EVENTS", "after_flip=0:keydown=27"}};
      const e2e::RunResult result = sandbox.run(options);

      EXPECT_EQ(result.signal, 0);
      EXPECT_EQ(result.exit_status, 1);
      EXPECT_EQ(result.out, "");
      // One line from each user of the file: the small font is loaded by
      // the scene and again by the credits page.
      const Lines messages = lines_of(result.err);
      EXPECT_FALSE(messages.empty());
      for (const std::string& message : messages)
        EXPECT_EQ(message.rfind("Cannot load " + std::string(asset) + ": ", 0), 0u) << message;
      EXPECT_TRUE(result.calls_starting_with("Player_Start").empty()) << "the scene is skipped";
      ASSERT_GE(result.log.size(), 4u);
      EXPECT_EQ(Lines(result.log.end() - 4, result.log.end()),
                (Lines{"SDL_FreeSurface display", "SDL_Quit", "recording_mikmod unloaded", "recording_sdl unloaded"}));
      for (const std::string& line : result.log) EXPECT_EQ(line.find("leaked"), std::string::npos) << line;
    }
  }
}

// The real libmikmod takes whatever is in data/data05.dt. A module it cannot
// load skips the scene without a word, one it loads in part plays what it
// has; neither may crash the run or change its exit status.
TEST(BadFiles, AnyModuleFileLeavesTheRealMusicLibraryStandingAndExitsWithZero) {
  const std::string module = read_file(std::string(GENERATED_DATA_DIR) + "/data05.dt");
  ASSERT_GT(module.size(), 1000u);
  std::mt19937 generator(5);
  std::string garbage(4096, '\0');
  for (char& byte : garbage) byte = char(generator());
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"missing", ""},
      {"empty", ""},
      {"header cut", module.substr(0, 60)},
      {"a third", module.substr(0, module.size() / 3)},
      {"all but the last byte", module.substr(0, module.size() - 1)},
      {"garbage", garbage},
      {"an image header of 65535 x 65535", header(65535, 65535, 32) + garbage},
  };
  e2e::Sandbox sandbox(e2e::Library::system_sdl, e2e::Library::system_mikmod);
  sandbox.write_stand_in_assets();
  for (const auto& [what, bytes] : cases) {
    SCOPED_TRACE(what);
    sandbox.remove_file("data/data05.dt");
    if (what != "missing") sandbox.write_file("data/data05.dt", bytes);
    e2e::RunOptions options;
    options.interrupt_every_ms = 250;  // ends a scene that runs; ignored elsewhere
    const e2e::RunResult result = sandbox.run(options);
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err.find("Cannot load"), std::string::npos) << result.err;
  }
}

}  // namespace
