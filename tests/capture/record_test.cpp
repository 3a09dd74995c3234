// Recording tests: record-intro.sh runs the intro on the virtual clock
// through the capture libraries and ffmpeg, and ffprobe and ffmpeg read the
// result back: its format, its exact length in frames and samples, the sound
// against the scene, and a second recording made while the other core is kept
// busy against the first.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

// A recording of a 1 s scene on the simulated timeline: 1905 ms of paced
// intro, the scene, 10 ms until the worker threads' next tick, then the fades
// and the credits page; 4738 ms besides the scene in all.
constexpr long intro_ms = 1905, scene_ms = 1000, teardown_ms = 10;
// 60 fps: ceil(5.738 s × 60) + 1 = 346 frames of 48000 / 60 = 800 samples;
// the scene starts at frame ceil(1.905 × 60) = 115.
constexpr long frames = 346, samples = frames * 800, first_scene_frame = 115;

struct CommandResult {
  int status = -1;
  std::string output;  // standard output and error together
};

std::string shell_quoted(const std::string& text) {
  std::string result = "'";
  for (char c : text) result += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return result + "'";
}

CommandResult run(const std::string& command) {
  CommandResult result;
  FILE* pipe = popen(("{ " + command + "; } 2>&1").c_str(), "r");
  char buffer[4096];
  for (size_t got; pipe != nullptr && (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.output.append(buffer, got);
  const int status = pipe != nullptr ? pclose(pipe) : -1;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
  return result;
}

std::string record_command(const std::string& options, const std::string& env = "",
                           const std::string& program = INTRO_PROGRAM) {
  return env + " INTRO_BUILD_DIR=" + shell_quoted(BUILD_DIR) + " " + shell_quoted(std::string(PROJECT_ROOT) + "/record-intro.sh") +
         " --no-build --intro " + shell_quoted(program) + " " + options;
}

std::string fresh_directory() {
  char name[] = "/tmp/record-test.XXXXXX";
  return mkdtemp(name);
}

std::string entries(const std::string& directory) { return run("ls -A " + shell_quoted(directory)).output; }

// Codec, size, pixel format, rate and frame count of each stream, one line per stream.
std::string streams(const std::string& file) {
  return run("ffprobe -v error -show_entries stream=codec_name,width,height,pix_fmt,r_frame_rate,sample_rate,nb_frames"
             " -of csv=p=0 " + shell_quoted(file)).output;
}

// A stream decoded to raw bytes, as ffmpeg's ARGUMENTS select and convert it.
std::string decoded(const std::string& file, const std::string& arguments) {
  return run("ffmpeg -v error -i " + shell_quoted(file) + " " + arguments + " -").output;
}

// ffmpeg's checksum of every decoded picture and block of sound, one per line.
std::string checksums(const std::string& file) { return decoded(file, "-map 0:v -map 0:a -f framemd5"); }

// One lossless recording, shared by the checks below, and a second one made
// while a busy loop keeps the other core busy.
class LosslessRecording : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    directory = fresh_directory();
    video = directory + "/run.mkv";
    const std::string options = "--seconds 1 --lossless -o ";
    result = run(record_command(options + shell_quoted(video)));
    busy = run("(while :; do :; done) & busy=$!; " + record_command(options + shell_quoted(directory + "/busy.mkv")) +
               "; status=$?; kill $busy; exit $status");
  }
  static void TearDownTestSuite() { run("rm -rf " + shell_quoted(directory)); }

  static inline std::string directory, video;
  static inline CommandResult result, busy;
};

TEST_F(LosslessRecording, IsTheSameWhenMadeOnABusyMachine) {
  ASSERT_EQ(result.status, 0) << result.output;
  ASSERT_EQ(busy.status, 0) << busy.output;
  EXPECT_EQ(streams(video), "ffv1,640,480,bgr0,60/1,N/A\nflac,48000,0/0,N/A\n");
  EXPECT_TRUE(checksums(video) == checksums(directory + "/busy.mkv")) << "the two recordings differ";
  // 346 frames / 60 = 5.77 s; nothing else is left in the directory, nothing partial.
  EXPECT_NE(result.output.find("recording: 5.7/5.7 s simulated, "), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("wrote " + video + " (5.77 s of video)"), std::string::npos) << result.output;
  EXPECT_EQ(entries(directory), "busy.mkv\nrun.mkv\n");
}

// Exactly the run's frames and samples. The background first lights the left
// edge (the paced intro lights at most its divider rows there) in the frame
// where the music starts; the music stops when the scene ends, and the fades
// and the credits are silent.
TEST_F(LosslessRecording, HoldsTheRunsFramesAndSamplesWithTheSoundOfTheScene) {
  const std::string edges = decoded(video, "-map 0:v -vf crop=1:480:0:0 -f rawvideo -pix_fmt gray");
  ASSERT_EQ(long(edges.size()), frames * 480);
  long first_lit = 0;
  while (first_lit < frames && std::count(edges.begin() + first_lit * 480, edges.begin() + first_lit * 480 + 480, '\0') >= 380)
    ++first_lit;
  EXPECT_EQ(first_lit, first_scene_frame);

  const std::string pcm = decoded(video, "-map 0:a -f s16le -ac 2");
  ASSERT_EQ(long(pcm.size()), samples * 4);
  const auto* values = reinterpret_cast<const int16_t*>(pcm.data());  // two channels a sample
  const long sound_start = 2 * intro_ms * 48, sound_end = 2 * (intro_ms + scene_ms + teardown_ms) * 48;  // 48 samples a ms
  EXPECT_EQ(std::find_if(values, values + 2 * samples, [](int16_t v) { return v != 0; }) - values, sound_start);
  EXPECT_TRUE(std::any_of(values + sound_start, values + sound_end, [](int16_t v) { return std::abs(v) > 1000; }));
  EXPECT_TRUE(std::all_of(values + sound_end, values + 2 * samples, [](int16_t v) { return v == 0; }));
}

TEST(Recording, WritesAnMp4WithH264AndAacAtTheChosenRateAndScale) {
  const std::string directory = fresh_directory();
  const CommandResult result = run(record_command("--seconds 1 --fps 30 --scale 2 -o " + shell_quoted(directory + "/intro.mp4")));
  ASSERT_EQ(result.status, 0) << result.output;
  // ceil(5.738 s × 30) + 1 = 174 pictures (the sound's frame count, the last field, is the encoder's).
  const std::string found = streams(directory + "/intro.mp4");
  EXPECT_EQ(found.substr(0, found.rfind(',')), "h264,1280,960,yuv420p,30/1,174\naac,48000,0/0");
  run("rm -rf " + shell_quoted(directory));
}

// Every failure says what is wrong and leaves no file behind; a refused
// option (status 2) is followed by the usage.
TEST(Recording, FailuresAreReportedAndLeaveNoFile) {
  const std::string directory = fresh_directory(), options = " --lossless --seconds 1 -o " + shell_quoted(directory + "/out.mkv");
  // The intro itself fails after opening its display: its texture is unusable.
  const std::string failing = directory + "/failing-intro";
  std::ofstream(failing) << "#!/bin/sh\nrm data/data04.dt && : > data/data04.dt && exec " << shell_quoted(INTRO_PROGRAM) << "\n";
  run("chmod +x " + shell_quoted(failing));
  struct Case {
    std::string options, env, program;
    int status;
    std::vector<std::string> said;
  };
  const std::string missing = directory + "/missing/out.mkv";
  const Case cases[] = {
      {options, "INTRO_CAPTURE_FFMPEG=/nonexistent/ffmpeg", INTRO_PROGRAM, 1, {"Debian package ffmpeg"}},
      {"--lossless --seconds 1 -o " + shell_quoted(missing), "", INTRO_PROGRAM, 1, {"cannot write " + missing}},
      {options, "", failing, 1, {"data04.dt", "the intro failed (exit status 1)"}},
      {options + " --fps 7", "", INTRO_PROGRAM, 2, {"--fps wants"}},
      {options + " --fps 480", "", INTRO_PROGRAM, 2, {"--fps wants"}},
      {options + " --scale 5", "", INTRO_PROGRAM, 2, {"--scale wants"}},
      {options + " --seconds 1.005", "", INTRO_PROGRAM, 2, {"--seconds wants"}},
      {options + " --frobnicate", "", INTRO_PROGRAM, 2, {"unknown option '--frobnicate'"}},
      {options + " -o x.mp4", "", INTRO_PROGRAM, 2, {"x.mp4 would be an MP4 file"}},
      {"-o " + shell_quoted(directory + "/x.mkv"), "", INTRO_PROGRAM, 2, {"which only --lossless writes"}},
      {"--help", "", INTRO_PROGRAM, 0, {"--scale K", "./record-intro.sh [--seconds N]"}},
  };
  for (const Case& c : cases) {
    const CommandResult result = run(record_command(c.options, c.env, c.program));
    EXPECT_EQ(result.status, c.status) << c.options;
    std::vector<std::string> said = c.said;
    if (c.status == 2) said.push_back("./record-intro.sh [--seconds N]");
    for (const std::string& text : said) EXPECT_NE(result.output.find(text), std::string::npos) << result.output;
  }
  EXPECT_EQ(entries(directory), "failing-intro\n") << "no partial file is left behind";
  run("rm -rf " + shell_quoted(directory));
}

}  // namespace
