#include "credits/credits.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/binding.h"
#include "gfx/char_map.h"
#include "gfx/display.h"
#include "support/font_sheet.h"
#include "support/media_double.h"

namespace {

// What the page asked of the media library, in order: "flip" or a delay.
std::vector<std::string> calls;
int freed_surfaces;

int recording_flip(SDL_Surface*) {
  calls.push_back("flip");
  return 0;
}
void recording_delay(Uint32 ms) { calls.push_back("delay " + std::to_string(ms)); }
void counting_free(SDL_Surface* surface) {
  ++freed_surfaces;
  ::SDL_FreeSurface(surface);
}

// Writes `sheet` as a .dt image: a little-endian width, height and depth,
// then the raw pixels.
void save_image(const SDL_Surface* sheet, const char* path) {
  std::FILE* file = std::fopen(path, "wb");
  ASSERT_NE(file, nullptr);
  const unsigned char header[6] = {uint8_t(sheet->w), uint8_t(sheet->w >> 8), uint8_t(sheet->h),
                                   uint8_t(sheet->h >> 8), 32, 0};
  std::fwrite(header, 1, sizeof header, file);
  std::fwrite(sheet->pixels, 4, size_t(sheet->w) * size_t(sheet->h), file);
  std::fclose(file);
}

// Each test runs in a fresh directory holding data/ and the font it needs.
class CreditsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    open_test_display();
    lib::SDL_Flip = &recording_flip;
    lib::SDL_Delay = &recording_delay;
    lib::SDL_FreeSurface = &counting_free;
    calls.clear();
    freed_surfaces = 0;
    ASSERT_NE(getcwd(previous_directory, sizeof previous_directory), nullptr);
    char pattern[] = "/tmp/credits_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    directory = pattern;
    ASSERT_EQ(chdir(directory.c_str()), 0);
    ASSERT_EQ(mkdir("data", 0755), 0);
  }
  void TearDown() override {
    std::remove("data/data02.dt");
    rmdir("data");
    ASSERT_EQ(chdir(previous_directory), 0);
    rmdir(directory.c_str());
    lib::SDL_FreeSurface = &::SDL_FreeSurface;
  }
  void install_font(SDL_Surface* sheet) {
    save_image(sheet, "data/data02.dt");
    ::SDL_FreeSurface(sheet);
  }

  char previous_directory[PATH_MAX];
  std::string directory;
};

const char* const credit_lines[] = {
    "credits",
    "~~~~~~~~~~~~~~~~~~~~",
    "code: ...... v4rd1an",
    "music: ...... grovik",
    "gfx: ....... v4rd1an",
    "handyman: .... 7zUmO",
};

std::vector<std::string> typing_then_hold(int bytes) {
  std::vector<std::string> expected;
  for (int i = 0; i < bytes; ++i) {
    expected.push_back("flip");
    expected.push_back("delay 10");
  }
  expected.push_back("delay 1500");
  return expected;
}

}  // namespace

TEST_F(CreditsTest, TypesEveryByteAtItsPenPositionWithAFramePerByte) {
  install_font(make_indexed_sheet(16, 16, 6, 92));
  show_credits();

  EXPECT_EQ(calls, typing_then_hold(113));
  EXPECT_EQ(freed_surfaces, 96 + 1);  // every glyph, then the sheet

  CharMap map;
  build_char_map(map, 0);
  for (int line = 0; line < 6; ++line) {
    const std::string text = credit_lines[line];
    for (size_t k = 0; k < text.size(); ++k) {
      const int x = 240 + 8 * int(k), y = 170 + 16 * line;
      const uint32_t expected =
          text[k] == ' ' ? 0u : glyph_colour(map[static_cast<unsigned char>(text[k])]);
      EXPECT_EQ(pixel_at(display, x, y), expected) << "line " << line + 1 << " byte " << k;
    }
  }
  for (int x = 0; x < display_width; ++x) EXPECT_EQ(pixel_at(display, x, 266), 0u) << x;
  EXPECT_EQ(pixel_at(display, 392 + glyph_ink_width(14) - 1, 250), glyph_colour(14));  // the last "O"
  EXPECT_EQ(pixel_at(display, 392 + glyph_ink_width(14), 250), 0u);
}

TEST_F(CreditsTest, AMissingFontIsReportedByNameAndOnlyTheHoldRemains) {
  testing::internal::CaptureStderr();
  show_credits();
  const std::string message = testing::internal::GetCapturedStderr();
  EXPECT_NE(message.find("data/data02.dt"), std::string::npos) << message;
  EXPECT_EQ(calls, std::vector<std::string>{"delay 1500"});
}
