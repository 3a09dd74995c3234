// The main scene of the real executable, seen through the recording doubles:
// the paced intro, the frame loop and its ways to end, the music thread's
// calls, the ways without sound, interrupts in every phase of a run, one
// presented frame of the loop, and the last frame of the credits page.
#include "e2e/harness.h"  // with GoogleTest and the standard headers it uses
#include "platform/sound_devices.h"
#include "support/font_sheet.h"

namespace {

using namespace e2e;

// Frame 1 of the loop takes Escape with its release, frame 2 a window-close
// request, frame 3 a space, and frame 4 Escape alone, which ends the loop
// after that frame. On simulated time the four frames take 4 ms, and the
// music thread's one update comes from its first tick, which the scene's wait
// for it lets pass.
TEST(SceneRun, PacedIntroThenLoopWithoutWaitsUntilEscapeLastInItsPassThenMusicClosesInOrder) {
  Sandbox sandbox;
  const RunResult result = sandbox.run({{"INTRO_DOUBLE_EVENTS=" + in_frame(1, "keydown=27,keyup=27") + ";" +
                                         in_frame(2, "quit") + ";" + in_frame(3, "keydown=32") + ";" + in_frame(4)}});
  expect_orderly_end(result);

  // The clear, the fade-in of the 160 × 160 logo centred on the display, the
  // rise, the pause, the divider lines growing 4 pixels a step and one more
  // present; then the loop's frames, each polling until no event is left.
  Lines expected{"SDL_FillRect display null 0x0"};
  expected += times(51, {"SDL_UpdateRect 240 160 160 160", "SDL_Delay 5"});
  expected += times(23, {"SDL_FillRect display null 0x0", "SDL_Flip", "SDL_Delay 5"});
  expected += {"SDL_Delay 500"};
  expected += times(160, {"SDL_Flip", "SDL_Delay 5"});
  expected += {"SDL_Flip"};
  for (const Lines& events :
       {Lines{"keydown=27", "keyup=27"}, Lines{"quit"}, Lines{"keydown=32"}, Lines{"keydown=27"}}) {
    for (const std::string& event : events) expected += {"SDL_PollEvent " + event};
    expected += {"SDL_PollEvent none", "SDL_Flip"};
  }
  EXPECT_EQ(pacing(result.log), expected += closing_pacing());

  EXPECT_EQ(matching(result.log, {"MikMod_", "Player_"}),
            (Lines{"MikMod_RegisterAllDrivers", "MikMod_RegisterAllLoaders", "MikMod_Init \"\" device=0",
                   "Player_Load data/data05.dt 64 0", "Player_Start module wrap=1", "Player_Active", "MikMod_Update",
                   "Player_Active", "Player_Stop", "Player_Free module", "MikMod_Exit"}));
  // The music library closes after the threads are joined and the scene's
  // images are released, the 256 × 256 texture last.
  const Lines texture = matching(result.log, {"SDL_CreateRGBSurface 0x0 256 256 "});
  ASSERT_EQ(texture.size(), 1u);
  EXPECT_EQ(result.log.at(index_of(result.log, "MikMod_Exit") - 1),
            "SDL_FreeSurface " + texture[0].substr(texture[0].rfind(' ') + 1));
}

// Where a device may exist the library probes its drivers first; where none
// can, the silent driver is taken at once, without a probe. Either way the
// intro says in one line that it plays without sound; when not even the
// silent driver starts, the scene runs without music. A module that ends by
// itself while the scene runs on is stopped and released at once, and only
// once.
TEST(SceneRun, WithoutASoundDeviceTheSilentDriverThenNoMusicAndAModuleThatEndsIsReleasedAtOnce) {
  const std::string silent = "No sound device: the intro plays without sound\n";
  const Lines probed{"MikMod_Init \"\" device=0", "MikMod_DriverFromAlias nosound", "MikMod_Init \"\" device=6"};
  const auto then_played = [](Lines starts) {  // the calls that start a driver, then the whole scene's music
    return starts += {"Player_Load data/data05.dt 64 0", "Player_Start module wrap=1", "Player_Active",
                      "Player_Active", "Player_Stop", "Player_Free module"};
  };
  // The setting, standard error, and the calls that start a driver and play.
  const std::tuple<std::string, std::string, Lines> cases[] = {
      {"INTRO_DOUBLE_FAIL=MikMod_Init:first", silent, then_played(probed)},
      {"PULSE_SERVER=", silent, then_played({"MikMod_DriverFromAlias nosound", "MikMod_Init \"\" device=6"})},
      {"INTRO_DOUBLE_FAIL=MikMod_Init", "No sound driver can be started: the intro runs without music\n", probed},
      {"INTRO_DOUBLE_FAIL=Player_Active", "", {"MikMod_Init \"\" device=0", "Player_Load data/data05.dt 64 0",
                                               "Player_Start module wrap=1", "Player_Active", "Player_Stop",
                                               "Player_Free module"}},
  };
  Sandbox sandbox;
  for (const auto& [setting, err, calls] : cases) {
    SCOPED_TRACE(setting);
    if (setting == "PULSE_SERVER=" && sound_device_present()) continue;  // not on a machine with sound
    const RunResult result = sandbox.run({{setting, "INTRO_DOUBLE_EVENTS=" + in_frame(2)}});
    expect_orderly_end(result, err);
    EXPECT_EQ(matching(result.log, {"MikMod_Init", "MikMod_DriverFromAlias", "Player_"}), calls);
  }
}

// Interrupts (SIGINT, or SIGTERM, which ends a run the same way) at chosen
// simulated moments of every phase of a whole run: each is sent by the
// double that logs the chosen line, right after it, and the whole runs'
// exact pacing (SceneRun, and the closing of every run) pins the phase each
// line falls in. Only one in the scene's loop ends it, after the frame in
// progress; one before it is undone when the scene starts, and later ones
// are ignored. Every run still goes through the scene, the fades and the
// credits, shuts down in order and exits with 0.
TEST(Interrupts, AtChosenMomentsOfEveryPhaseTheRunStillEndsInOrder) {
  constexpr long scene_frames = 30;  // Escape ends the loop in this frame unless an interrupt does first
  // Each case: the moments ("prefix@n;...": right after the n-th log line
  // that starts with prefix), the signal, and the frames of the loop (0
  // where the moment depends on the music thread's polls: then some). A
  // prefix also matches longer lines: "SDL_Delay 5" counts the intro's pause
  // (SDL_Delay 500) too, and "SDL_Delay 1" the first fade's 20 waits, the 113
  // of the credits, their hold, then the second fade's 20.
  const std::tuple<std::string, int, long> cases[] = {
      // Start-up (the handler is installed), the intro (the logo's fade-in,
      // then its last divider step: 51 + 23 + the pause + 160), then the scene.
      {"SDL_ShowCursor@1;SDL_UpdateRect@1;SDL_Delay 5@235;SDL_PollEvent@5", SIGINT, 5},
      {"Player_Active@2", SIGINT, 0},                  // the scene, from the music thread
      {"SDL_PollEvent@2;SDL_Delay 1@20", SIGTERM, 2},  // the scene, then the first fade's last wait
      // The credits, then the second fade's last wait (20 + 113 + 1 + 20).
      {"SDL_Delay 10@1;SDL_Delay 1@154", SIGTERM, scene_frames},
  };
  Sandbox sandbox;
  for (const auto& [points, signal, frames] : cases) {
    SCOPED_TRACE(points + (signal == SIGINT ? " SIGINT" : " SIGTERM"));
    const RunResult result =
        sandbox.run({{"INTRO_DOUBLE_INTERRUPT=" + points, "INTRO_DOUBLE_INTERRUPT_SIGNAL=" + std::to_string(signal),
                      "INTRO_DOUBLE_EVENTS=" + in_frame(scene_frames)}});
    expect_orderly_end(result);
    const size_t polled = matching(result.log, {"SDL_PollEvent none"}).size();  // once a frame, in the loop alone
    EXPECT_TRUE(frames == 0 ? polled > 0 : polled == size_t(frames)) << polled << " frames";
    const size_t moments = size_t(std::count(points.begin(), points.end(), '@'));
    EXPECT_EQ(matching(result.log, {"interrupt sent"}).size(), moments);
  }
}

// One presented frame of the loop, while the fade-in is under way (its level
// is read from the band's background), with the stand-in assets: a uniform
// background, ink bars on the panel, a logo whose channels all reach its
// alpha cap of 100. In the loop's order, each later layer shown over the
// earlier ones: background darkened in the logo's band (rows 0..170) and the
// scroller's band (rows 401..460), panel, fade of rows 172..399 (over the
// background and the panel alike), the logo, never faded, and the dividers,
// neither darkened nor faded. A logo 160 rows high puts the upper divider
// (row h + 10) inside the logo's darkened band; one 180 rows high reaches,
// with the divider, into the fade band.
TEST(SceneFrame, LayersComposeInTheLoopsOrder) {
  constexpr uint32_t background = 0xffc0e000;           // the texture with bytes 0 and 2 exchanged
  constexpr uint32_t darkened_background = 0xff303800;  // blue 0 halved, green 0xe0 and red 0xc0 quartered
  constexpr long loop_frame = 200;                      // some 20 ticks of 10 ms into the fade
  for (const int logo_height : {160, 180}) {
    SCOPED_TRACE("logo height " + std::to_string(logo_height));
    Sandbox sandbox;
    sandbox.write_image("data/data03.dt", 160, logo_height, [](int, int) { return logo_pixel; });
    const RunResult result = sandbox.run({{"INTRO_DOUBLE_EVENTS=" + in_frame(loop_frame),
                                           "INTRO_DOUBLE_SAVE_FLIPS=" + std::to_string(intro_flips + loop_frame)}});
    EXPECT_EQ(result.exit_status, 0);
    const std::vector<uint32_t> frame = sandbox.flip_frame(intro_flips + loop_frame);
    const auto at = [&](int x, int y) { return frame[size_t(y) * 640 + size_t(x)]; };
    const uint32_t level = (at(0, 300) >> 8) & 0xff;  // green, limited to the level
    ASSERT_TRUE(0 < level && level < 100) << "the fade is not under way, or too far to tell the logo: " << level;
    // The fade limits every channel to its level: blue 0, green 0xe0 and red
    // 0xc0 of the background, blue and red 0xff of the ink.
    const uint32_t faded_background = 0xff000000 | level << 16 | level << 8;
    const uint32_t faded_ink = 0xff000000 | level << 16 | level;

    const int upper_divider = logo_height + 10;
    for (int y = 0; y < 461; ++y) {  // column 20: left of the panel and the logo, clear of the letters
      const uint32_t expected = y <= 170 || y > 400 ? darkened_background : y == 171 ? background : faded_background;
      ASSERT_TRUE(y == upper_divider || y == 400 || at(20, y) == expected) << "row " << y << ": " << at(20, y);
    }
    // The logo whole and unfaded, the panel's ink faded with the background.
    long logo_pixels = 0, panel_pixels = 0;
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640 && y != upper_divider && y != 400; ++x) {  // the dividers hold the logo's grey too
        logo_pixels += (at(x, y) & 0xffffff) == 0x646464;
        panel_pixels += at(x, y) == faded_ink;
      }
    EXPECT_EQ(logo_pixels, 160 * logo_height);
    EXPECT_GT(panel_pixels, 1000);
    // Grey 0 at column 0, 255 in the middle and 1 at the right end of the
    // upper line; the lower line is its mirror image.
    const auto divider = [&](int y) { return std::vector<uint32_t>{at(0, y), at(320, y), at(639, y)}; };
    EXPECT_EQ(divider(upper_divider), (std::vector<uint32_t>{0, 0xffffff, 0x010101}));
    EXPECT_EQ(divider(400), (std::vector<uint32_t>{0x010101, 0xffffff, 0}));
  }
}

// The small font is an indexed sheet (support/font_sheet.h): a pixel tells
// which glyph drew it. The page as typed: line k from column 240 and row
// 170 + 16 k, the pen 8 pixels on after every byte, each glyph as wide as its
// ink less one column, narrower than the advance.
TEST(CreditsRun, EveryGlyphLandsAtItsPenPositionOnePresentPerByte) {
  // Glyph slots of the font sheets, in cell order (89 characters in 92 bytes).
  const std::string order =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz.,!?*-\"&/':~@+<>()[]1234567890{}%=$\u20ac\u00a9";
  const std::string credits =
      "credits\n~~~~~~~~~~~~~~~~~~~~\ncode: ...... v4rd1an\nmusic: ...... grovik\ngfx: ....... v4rd1an\n"
      "handyman: .... 7zUmO";
  Sandbox sandbox;
  sandbox.remove_file("data/data05.dt");
  sandbox.write_image("data/data02.dt", 256, 96, [](int x, int y) {
    const int glyph = y / 16 * 16 + x / 16;
    return glyph < 92 && x % 16 <= glyph_ink_width(glyph) ? glyph_colour(glyph) : 0u;
  });
  constexpr long last_credits_flip = 20 + credit_bytes;  // after the first fade
  // Exit status 1 for the missing module; a present and a wait per byte.
  expect_orderly_end(sandbox.run({{"INTRO_DOUBLE_SAVE_FLIPS=" + std::to_string(last_credits_flip)}}),
                     "Cannot load data/data05.dt: the file is missing\n", 1);

  std::vector<uint32_t> expected(640 * 480, 0);
  int line = 0, column = 0;
  for (const char byte : credits) {
    const int glyph = int(order.find(byte));
    for (int y = 170 + 16 * line; byte != ' ' && byte != '\n' && y < 186 + 16 * line; ++y)
      for (int x = 240 + 8 * column; x < 240 + 8 * column + glyph_ink_width(glyph); ++x)
        expected[size_t(y) * 640 + size_t(x)] = glyph_colour(glyph);
    line += byte == '\n';
    column = byte == '\n' ? 0 : column + 1;
  }
  const std::vector<uint32_t> frame = sandbox.flip_frame(last_credits_flip);
  const size_t wrong = size_t(std::mismatch(frame.begin(), frame.end(), expected.begin()).first - frame.begin());
  EXPECT_EQ(wrong, frame.size()) << "pixel " << wrong % 640 << "," << wrong / 640 << " is " << frame[wrong] << ", not "
                                 << expected[wrong];  // streamed on a failure alone
}

}  // namespace
