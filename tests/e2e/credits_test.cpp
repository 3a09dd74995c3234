// The credits page of the real executable, seen through the recording media
// library. Without a module the scene shows nothing, so the page is typed
// onto a black display and its last frame holds nothing but the credits.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "e2e/harness.h"
#include "support/font_sheet.h"

namespace {

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
  e2e::Sandbox sandbox;
  sandbox.write_stand_in_assets();
  sandbox.remove_file("data/data05.dt");
  sandbox.write_image("data/data02.dt", 256, 96, [](int x, int y) {
    const int glyph = y / 16 * 16 + x / 16;
    return glyph < 92 && x % 16 <= glyph_ink_width(glyph) ? glyph_colour(glyph) : 0u;
  });
  e2e::RunOptions options;
  constexpr long last_credits_flip = 20 + e2e::credit_bytes;  // after the first fade
  options.environment = {{"INTRO_DOUBLE_SAVE_FLIPS", std::to_string(last_credits_flip)}};
  e2e::expect_orderly_end(sandbox.run(options), 1);  // 1 for the missing module; a present and a wait per byte

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
  const e2e::Frame frame = sandbox.flip_frame(last_credits_flip);
  ASSERT_EQ(frame.pixels.size(), expected.size());
  size_t wrong = 0;
  for (size_t i = 0; i < expected.size(); ++i)
    if (frame.pixels[i] != expected[i] && wrong++ == 0)
      ADD_FAILURE() << "pixel " << i % 640 << "," << i / 640 << " is " << frame.pixels[i] << ", not " << expected[i];
  EXPECT_EQ(wrong, 0u);
}

}  // namespace
