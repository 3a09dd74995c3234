// The main scene of the real executable, seen through the recording doubles:
// the paced intro, the frame loop and its ways to end, the music thread's
// calls, the set-up failures, and one presented frame of the loop.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "e2e/harness.h"
#include "platform/sound_devices.h"

namespace {

using namespace e2e;

long loop_frames(const Lines& log) { return count_of(log, "SDL_Flip") - intro_flips - closing_flips; }

// The scripted Escape press that is taken in frame `frame` of the loop.
std::string escape_in_frame(long frame) {
  return "after_flip=" + std::to_string(intro_flips + frame - 1) + ":keydown=27";
}

// Width and height from an image file's header.
std::pair<int, int> image_size(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  unsigned char header[4] = {};
  file.read(reinterpret_cast<char*>(header), sizeof header);
  return {header[0] | header[1] << 8, header[2] | header[3] << 8};
}

TEST(SceneRun, PacedIntroThenLoopWithoutWaitsThenMusicAndLibrariesCloseInOrder) {
  Sandbox sandbox;
  sandbox.link_generated_assets();
  const auto [logo_width, logo_height] = image_size(sandbox.directory() + "/data/data03.dt");
  RunOptions options;
  // On simulated time the four frames take 4 ms, and the music thread's one
  // update comes from its first tick, which the scene's wait for it lets pass.
  options.environment = {{"INTRO_DOUBLE_EVENTS", escape_in_frame(4)}};
  const RunResult result = sandbox.run(options);
  EXPECT_EQ(result.exit_status, 0) << result.err;
  EXPECT_EQ(result.out + result.err, "");
  expect_orderly_end(result);

  Lines expected = intro_pacing(logo_width, logo_height);
  repeat(expected, 3, {"SDL_PollEvent none", "SDL_Flip"});
  append(expected, {"SDL_PollEvent keydown=27", "SDL_PollEvent none", "SDL_Flip"});
  append(expected, closing_pacing());
  EXPECT_EQ(pacing(result.log), expected);

  Lines music;
  for (const std::string& line : result.log)
    if (starts_with(line, "MikMod_") || starts_with(line, "Player_")) music.push_back(line);
  EXPECT_EQ(music, (Lines{"MikMod_RegisterAllDrivers", "MikMod_RegisterAllLoaders", "MikMod_Init \"\" device=0",
                          "Player_Load data/data05.dt 64 0", "Player_Start module wrap=1", "Player_Active",
                          "MikMod_Update", "Player_Active", "Player_Stop", "Player_Free module", "MikMod_Exit"}));
  // The music library closes after the threads are joined and the scene's
  // images are released (the 256 × 256 texture last), before the closing fade.
  const Lines texture = result.calls_starting_with("SDL_CreateRGBSurface 0x0 256 256 ");
  ASSERT_EQ(texture.size(), 1u);
  const std::string texture_name = texture[0].substr(texture[0].rfind(' ') + 1);
  EXPECT_LT(index_of(result.log, "Player_Free module"), index_of(result.log, "MikMod_Exit"));
  EXPECT_EQ(index_of(result.log, "SDL_FreeSurface " + texture_name) + 1, index_of(result.log, "MikMod_Exit"));
  EXPECT_LT(index_of(result.log, "MikMod_Exit"), index_of(result.log, "SDL_Delay 1"));
}

TEST(SceneRun, OnlyAnEscapePressTakenLastInItsPassEndsTheLoop) {
  Sandbox sandbox;
  sandbox.write_stand_in_assets();
  RunOptions options;
  const auto after_frame = [](long frame) { return "after_flip=" + std::to_string(intro_flips + frame) + ":"; };
  // Frame 2 takes Escape with its release, 3 a window-close request, 4 Escape
  // then a mouse motion, 5 a space; frame 7 takes Escape alone.
  options.environment = {{"INTRO_DOUBLE_EVENTS", after_frame(1) + "keydown=27,keyup=27;" + after_frame(2) + "quit;" +
                                                     after_frame(3) + "keydown=27,motion;" + after_frame(4) +
                                                     "keydown=32;" + escape_in_frame(7)}};
  const RunResult result = sandbox.run(options);
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(loop_frames(result.log), 7);
  expect_orderly_end(result);
}

// The interrupt (or the request to terminate, which ends the run the same
// way) arrives in the third frame's poll: that frame is still drawn and
// presented, and the scene ends after it.
TEST(SceneRun, AnInterruptOrTerminationEndsTheLoopAfterTheFrameInProgressAndTheClosingFollows) {
  Sandbox sandbox;
  sandbox.write_stand_in_assets();
  for (const int signal_number : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal_number == SIGINT ? "SIGINT" : "SIGTERM");
    RunOptions options;
    options.interrupt_signal = signal_number;
    options.interrupt_points = {{"SDL_PollEvent", 3}};
    const RunResult result = sandbox.run(options);
    EXPECT_EQ(result.log_lines_at_interrupts.size(), 1u);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(loop_frames(result.log), 3);
    Lines expected{"SDL_PollEvent none", "SDL_Flip"};  // the end of the interrupted frame
    append(expected, closing_pacing());
    EXPECT_EQ(tail(pacing(result.log), expected.size()), expected);
    EXPECT_EQ(tail(result.calls_starting_with("MikMod_"), 1), Lines{"MikMod_Exit"});
    expect_orderly_end(result);
  }
}

TEST(SceneRun, WithoutTheModuleNothingOfTheSceneShowsTheClosingStillFollowsAndTheRunFails) {
  Sandbox sandbox;
  sandbox.write_stand_in_assets();
  sandbox.remove_file("data/data05.dt");
  const RunResult result = sandbox.run();
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "Cannot load data/data05.dt: the file is missing\n");
  Lines expected{"SDL_FillRect display null 0x0"};
  append(expected, closing_pacing());
  EXPECT_EQ(pacing(result.log), expected);
  EXPECT_EQ(result.calls_starting_with("Player_"), Lines{});  // a missing file is not handed to the library
  EXPECT_LT(index_of(result.log, "MikMod_Exit"), index_of(result.log, "SDL_Delay 1"));
  expect_orderly_end(result);
}

// Where a device may exist the library probes its drivers first; where none
// can, the silent driver is taken at once, without a probe. Either way the
// intro says in one line that it plays without sound.
TEST(SceneRun, WithoutASoundDeviceTheSilentDriverIsTakenThenNoMusicAtAll) {
  Sandbox sandbox;
  sandbox.write_stand_in_assets();
  const auto run_with = [&](std::vector<std::pair<std::string, std::string>> environment) {
    RunOptions options;
    options.environment = std::move(environment);
    options.environment.push_back({"INTRO_DOUBLE_EVENTS", escape_in_frame(2)});
    const RunResult result = sandbox.run(options);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(loop_frames(result.log), 2);
    return result;
  };
  const auto expect_silent_driver = [](const RunResult& result, const Lines& init_calls) {
    EXPECT_EQ(result.err, "No sound device: the intro plays without sound\n");
    const Lines music = result.calls_starting_with("MikMod_");
    ASSERT_GE(music.size(), 2 + init_calls.size());
    EXPECT_EQ(Lines(music.begin() + 2, music.begin() + 2 + long(init_calls.size())), init_calls);
    EXPECT_EQ(count_of(result.log, "Player_Start module wrap=1"), 1);
  };
  expect_silent_driver(run_with({{"INTRO_DOUBLE_FAIL", "MikMod_Init:first"}}),
                       {"MikMod_Init \"\" device=0", "MikMod_DriverFromAlias nosound", "MikMod_Init \"\" device=6"});
  if (sound_device_present())
    std::printf("this machine has a sound device: the run without one is not shown\n");
  else
    expect_silent_driver(run_with({{"PULSE_SERVER", ""}}), {"MikMod_DriverFromAlias nosound", "MikMod_Init \"\" device=6"});

  const RunResult result = run_with({{"INTRO_DOUBLE_FAIL", "MikMod_Init"}});  // not even the silent driver starts
  EXPECT_EQ(result.err, "No sound driver can be started: the intro runs without music\n");
  EXPECT_EQ(result.calls_starting_with("Player_"), Lines{});
  expect_orderly_end(result);
}

// ---- One presented frame of the loop, with assets chosen so that every
// layer has a colour of its own whatever the animation state holds: a
// uniform background, a panel in another colour, and a logo whose channels
// all reach its alpha cap. The fade level of the frame is read from it.

constexpr uint32_t background = 0xffc0e000;           // in display order: blue 0x00, green 0xe0, red 0xc0
constexpr uint32_t darkened_background = 0xff303800;  // blue halved, green and red quartered
constexpr uint32_t panel_ink = 0xffff00ff;            // green 0
constexpr uint32_t logo_colour = 0x646464;            // every channel capped at the logo's alpha, 100
constexpr int logo_width = 160;

uint32_t limited(uint32_t pixel, uint32_t level) {
  uint32_t out = pixel & 0xff000000u;
  for (int shift = 0; shift < 24; shift += 8) out |= std::min((pixel >> shift) & 0xff, level) << shift;
  return out;
}

void write_layered_assets(const Sandbox& sandbox, int logo_height) {
  sandbox.write_stand_in_assets();
  std::vector<uint32_t> small_font(256 * 96);
  for (size_t i = 0; i < small_font.size(); ++i)
    if (i % 256 % 16 < 8) small_font[i] = panel_ink;  // every glyph a bar of ink
  sandbox.write_image("data/data02.dt", 256, 96, small_font);
  sandbox.write_image("data/data03.dt", logo_width, logo_height,
                      std::vector<uint32_t>(size_t(logo_width) * size_t(logo_height), 0x64ffffff));
  // Bytes 0 and 2 are exchanged when the texture is loaded.
  sandbox.write_image("data/data04.dt", 256, 256, std::vector<uint32_t>(256 * 256, 0xff00e0c0));
}

struct Rectangle {
  int left = 640, top = 480, right = -1, bottom = -1;  // inclusive
  long pixels = 0;
  bool contains(int x, int y) const { return left <= x && x <= right && top <= y && y <= bottom; }
};

// Where the logo landed; the divider rows are left out, as they hold a grey
// of the logo's level too.
Rectangle find_logo(const Frame& frame, int upper_divider) {
  Rectangle logo;
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x)
      if (y != upper_divider && y != 400 && (frame.at(x, y) & 0xffffff) == logo_colour) {
        logo = {std::min(logo.left, x), std::min(logo.top, y), std::max(logo.right, x), std::max(logo.bottom, y),
                logo.pixels + 1};
      }
  return logo;
}

// Runs the loop with frames some 20 ms apart and returns the first saved one
// in which the fade-in has begun, with its level.
std::pair<Frame, uint32_t> frame_with_fade_under_way(const Sandbox& sandbox) {
  constexpr long saved = 12;
  RunOptions options;
  options.environment = {{"INTRO_DOUBLE_EVENTS", escape_in_frame(saved)}, {"INTRO_DOUBLE_HOLD", "SDL_PollEvent:20"}};
  for (long frame = 1; frame <= saved; ++frame) options.save_flips.push_back(intro_flips + frame);
  EXPECT_EQ(sandbox.run(options).exit_status, 0);
  for (long number = 1; number <= saved; ++number) {
    Frame frame = sandbox.flip_frame(intro_flips + number);
    const uint32_t level = (frame.at(0, 300) >> 8) & 0xff;  // the band's background: green limited to the level
    if (level > 0) return {frame, level};
  }
  return {};
}

// Background, panel, scroller band, fade band, logo over its darkened band,
// dividers. A logo 160 rows high puts the upper divider inside the logo's
// darkened band; one 180 rows high reaches into the fade band.
TEST(SceneFrame, LayersComposeInTheLoopsOrder) {
  for (const int logo_height : {160, 180}) {
    SCOPED_TRACE("logo height " + std::to_string(logo_height));
    Sandbox sandbox;
    write_layered_assets(sandbox, logo_height);
    const auto [frame, level] = frame_with_fade_under_way(sandbox);
    ASSERT_GE(level, 1u) << "no saved frame shows the fade-in under way";
    ASSERT_LT(level, 100u) << "the fade-in is too far along to tell the logo from a faded one";

    const int upper_divider = logo_height + 10;
    const Rectangle logo = find_logo(frame, upper_divider);
    EXPECT_EQ(logo.right - logo.left + 1, logo_width);
    EXPECT_EQ(logo.bottom - logo.top + 1, logo_height);
    EXPECT_EQ(logo.pixels, long(logo_width) * logo_height);
    EXPECT_LE(logo.top, 8);
    EXPECT_LE(std::abs(logo.left - (320 - logo_width / 2)), 40);

    long panel_pixels = 0;
    for (int y = 0; y < 461; ++y) {
      for (int x = 0; x < 640; ++x) {
        const uint32_t pixel = frame.at(x, y);
        if (logo.contains(x, y) || y == upper_divider || y == 400) continue;
        if (y <= 170) {
          ASSERT_EQ(pixel, darkened_background) << x << "," << y;
        } else if (y == 171) {
          ASSERT_EQ(pixel, background) << x;
        } else if (y < 400) {
          // The fade limits the background and the panel drawn before it alike.
          const bool in_panel = 70 <= x && x < 582 && 190 <= y;
          if (in_panel && pixel == limited(panel_ink, level)) ++panel_pixels;
          else ASSERT_EQ(pixel, limited(background, level)) << x << "," << y;
        } else if (x < 600) {  // the scroller's band; its letters are still at the right edge
          ASSERT_EQ(pixel, darkened_background) << x << "," << y;
        }
      }
    }
    EXPECT_GT(panel_pixels, 1000);
    // The dividers, drawn last: grey, neither darkened nor faded (black at
    // the left end, white in the middle, 1 at the right end), the lower one
    // the upper mirrored.
    for (int x = 0; x < 640; ++x) {
      const uint32_t grey = frame.at(x, upper_divider);
      ASSERT_EQ(grey, (grey & 0xff) * 0x010101u) << x;
      ASSERT_EQ(frame.at(639 - x, 400), grey) << x;
    }
    EXPECT_EQ(frame.at(0, upper_divider), 0u);
    EXPECT_EQ(frame.at(320, upper_divider), 0xffffffu);
    EXPECT_EQ(frame.at(639, upper_divider), 0x010101u);
  }
}

}  // namespace
