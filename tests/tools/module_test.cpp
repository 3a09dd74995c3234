// The generated module as the real libmikmod plays it, rendered through the
// WAV disk writer: the song and ten seconds of its restart.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "module_render.h"

namespace {

const std::string module_path = std::string(INTRO_DATA_DIR_PATH) + "/data05.dt";

// One rendering for all the checks: it takes a second or so.
const Rendering& rendering() {
  static const Rendering result = [] {
    char directory[] = "/tmp/module_test.XXXXXX";
    const std::string wav = std::string(mkdtemp(directory)) + "/music.wav";
    Rendering r = render_module(module_path, wav, 10.0, 300.0);
    std::remove(wav.c_str());
    rmdir(directory);
    return r;
  }();
  return result;
}

TEST(Module, LoadsWithAtMost64ChannelsAndAnIntroTempo) {
  const Rendering& r = rendering();
  ASSERT_TRUE(r.loaded);
  EXPECT_GE(r.channels, 1);
  EXPECT_LE(r.channels, 64);
  EXPECT_GE(r.tempo, 120);
  EXPECT_LE(r.tempo, 140);
}

TEST(Module, PlaysAtLeastNinetySecondsBeforeItRestarts) {
  const Rendering& r = rendering();
  ASSERT_TRUE(r.loaded);
  EXPECT_GE(r.wrap_seconds, 90.0);
  ASSERT_GT(r.rate, 0);
  EXPECT_GE(r.samples.size() / 2.0 / r.rate, r.wrap_seconds + 9.0);  // the restart was rendered too
}

TEST(Module, LoudButNeverClipped) {
  const Rendering& r = rendering();
  ASSERT_FALSE(r.samples.empty());
  double sum = 0;
  int peak = 0, clipped_run = 0, longest_clipped_run = 0;
  for (int16_t s : r.samples) {
    sum += double(s) * s;
    peak = std::max(peak, std::abs(int(s)));
    clipped_run = std::abs(int(s)) >= 32767 ? clipped_run + 1 : 0;
    longest_clipped_run = std::max(longest_clipped_run, clipped_run);
  }
  const double rms_dbfs = 20 * std::log10(std::sqrt(sum / r.samples.size()) / 32768.0);
  EXPECT_GT(rms_dbfs, -24.0);
  EXPECT_LT(rms_dbfs, -10.0);
  EXPECT_LT(peak, 32767 * 0.97);
  EXPECT_LT(longest_clipped_run, 2);
}

TEST(Module, NoSilenceLongerThanASecondIncludingTheRestart) {
  const Rendering& r = rendering();
  ASSERT_GT(r.rate, 0);
  const size_t window = size_t(r.rate) / 100 * 2;  // 10 ms of stereo samples
  double quiet_seconds = 0, longest_quiet = 0;
  for (size_t at = 0; at + window <= r.samples.size(); at += window) {
    double sum = 0;
    for (size_t i = at; i < at + window; ++i) sum += double(r.samples[i]) * r.samples[i];
    const bool quiet = std::sqrt(sum / window) < 32768.0 * 0.001;  // below -60 dBFS
    quiet_seconds = quiet ? quiet_seconds + 0.01 : 0;
    longest_quiet = std::max(longest_quiet, quiet_seconds);
  }
  EXPECT_LE(longest_quiet, 1.0);
}

}  // namespace
