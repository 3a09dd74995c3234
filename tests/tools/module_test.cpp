// The generated module as the real libmikmod plays it, rendered through the
// WAV disk writer: the song and ten seconds of its restart.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <string>

#include "module_render.h"

// At most 64 channels, an intro's tempo, and at least 90 s before the song
// restarts, the restart rendered too. Loud (RMS between -24 and -10 dBFS) but
// never clipped, and never silent (below -60 dBFS over 10 ms windows) for
// more than a second, restart included.
TEST(Module, PlaysAtAnIntrosTempoForNinetySecondsLoudButNeverClippedNorLongSilent) {
  const std::string wav = ::testing::TempDir() + "module_test_" + std::to_string(getpid()) + ".wav";
  const Rendering r = render_module(std::string(INTRO_DATA_DIR_PATH) + "/data05.dt", wav, 10.0, 300.0);
  std::remove(wav.c_str());
  ASSERT_TRUE(r.loaded);
  EXPECT_TRUE(r.channels >= 1 && r.channels <= 64) << r.channels;
  EXPECT_TRUE(r.tempo >= 120 && r.tempo <= 140) << r.tempo;
  EXPECT_GE(r.wrap_seconds, 90.0);
  ASSERT_GT(r.rate, 0);
  ASSERT_GE(r.samples.size() / 2.0 / r.rate, r.wrap_seconds + 9.0);

  const size_t window = size_t(r.rate) / 100 * 2;  // 10 ms of both channels
  double sum = 0, quiet = 0, longest_quiet = 0;
  for (size_t at = 0; at + window <= r.samples.size(); at += window) {
    const double window_sum = std::inner_product(&r.samples[at], &r.samples[at] + window, &r.samples[at], 0.0);
    sum += window_sum;
    quiet = std::sqrt(window_sum / double(window)) < 32768.0 * 0.001 ? quiet + 0.01 : 0;
    longest_quiet = std::max(longest_quiet, quiet);
  }
  const auto [lowest, highest] = std::minmax_element(r.samples.begin(), r.samples.end());
  const double rms_dbfs = 20 * std::log10(std::sqrt(sum / double(r.samples.size())) / 32768.0);
  EXPECT_TRUE(rms_dbfs > -24.0 && rms_dbfs < -10.0) << rms_dbfs;
  EXPECT_LT(std::max(-int(*lowest), int(*highest)), 32767 * 0.97);
  EXPECT_LE(longest_quiet, 1.0);
}
