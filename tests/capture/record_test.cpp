// Recording tests: record-intro.sh runs the intro on the virtual clock
// through the capture libraries and ffmpeg, and ffprobe and ffmpeg read the
// result back: its format and exact length, every picture against those the
// intro presented, the sound against the picture, and a second recording made
// while the machine is busy against the first.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "picture_hash.h"

namespace {

constexpr size_t frame_bytes = 640 * 480 * 4;
constexpr long fps = 60;
constexpr long sound_rate = 48000;
// The simulated timeline of a recording (README, Recording a video): the
// paced intro, the scene, the wait for the worker threads' next tick, then
// the fades and the credits page.
constexpr long intro_ms = 1905;
constexpr long scene_ms = 3000;
constexpr long teardown_ms = 10;
constexpr long fixed_ms = 4738;
// ceil(T × fps) + 1 frames for a run of T simulated seconds.
constexpr long frames_of(long run_ms, long rate) { return (run_ms * rate + 999) / 1000 + 1; }

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
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  std::array<char, 4096> buffer{};
  for (size_t got; (got = fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) result.output.append(buffer.data(), got);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
  return result;
}

CommandResult record(const std::string& program, const std::string& options, const std::string& env = "") {
  return run(env + " INTRO_BUILD_DIR=" + shell_quoted(BUILD_DIR) + " " + shell_quoted(std::string(PROJECT_ROOT) + "/record-intro.sh") +
             " --no-build --intro " + shell_quoted(program) + " " + options);
}

std::string fresh_directory() {
  char name[] = "/tmp/record-test.XXXXXX";
  return mkdtemp(name);
}

size_t entry_count(const std::string& directory) {
  const std::string names = run("ls -A " + shell_quoted(directory)).output;
  return size_t(std::count(names.begin(), names.end(), '\n'));
}

// ffprobe's key=value lines for stream 0 ("0.codec_name") and 1, and the container ("duration").
std::map<std::string, std::string> probe(const std::string& file) {
  std::map<std::string, std::string> fields;
  std::istringstream lines(run("ffprobe -v error -show_streams -show_format -of flat=s=. " + shell_quoted(file)).output);
  for (std::string line; std::getline(lines, line);) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    std::string key = line.substr(0, equals), value = line.substr(equals + 1);
    if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
    for (const char* prefix : {"streams.stream.", "format."})
      if (key.rfind(prefix, 0) == 0) fields[key.substr(std::strlen(prefix))] = value;
  }
  return fields;
}

void expect_video(const std::string& file, const std::string& video_codec, const std::string& audio_codec,
                  const std::string& size = "640x480", const std::string& rate = "60/1") {
  auto fields = probe(file);
  EXPECT_EQ(fields["0.codec_type"] + fields["1.codec_type"] + fields["2.codec_type"], "videoaudio");
  EXPECT_EQ(fields["0.codec_name"], video_codec);
  EXPECT_EQ(fields["0.width"] + "x" + fields["0.height"], size);
  EXPECT_EQ(fields["0.r_frame_rate"], rate);
  EXPECT_EQ(fields["1.codec_name"], audio_codec);
  EXPECT_EQ(fields["1.sample_rate"], std::to_string(sound_rate));
}

struct DecodedFrame {
  uint64_t hash;
  bool background;  // the left edge is lit: only the scene and its fade draw there
};

bool left_edge_lit(const std::vector<uint8_t>& frame) {
  int lit = 0;
  for (size_t y = 0; y < 480; ++y) lit += (frame[y * 640 * 4] | frame[y * 640 * 4 + 1] | frame[y * 640 * 4 + 2]) != 0;
  return lit > 100;  // the logo intro lights at most the divider rows there
}

std::vector<DecodedFrame> decode_frames(const std::string& file) {
  std::vector<DecodedFrame> frames;
  FILE* pipe = popen(("ffmpeg -v error -i " + shell_quoted(file) + " -map 0:v -f rawvideo -pix_fmt bgr0 -").c_str(), "r");
  std::vector<uint8_t> frame(frame_bytes);
  while (pipe != nullptr && fread(frame.data(), 1, frame.size(), pipe) == frame.size())
    frames.push_back({picture_hash(frame.data(), frame.size()), left_edge_lit(frame)});
  if (pipe != nullptr) pclose(pipe);
  return frames;
}

// One value per 16-bit stereo sample: the larger magnitude of the two channels.
std::vector<int> decode_sound(const std::string& file) {
  std::vector<int> loudness;
  FILE* pipe = popen(("ffmpeg -v error -i " + shell_quoted(file) + " -map 0:a -f s16le -ac 2 -").c_str(), "r");
  int16_t pair[2];
  while (pipe != nullptr && fread(pair, sizeof(pair), 1, pipe) == 1)
    loudness.push_back(std::max(std::abs(int(pair[0])), std::abs(int(pair[1]))));
  if (pipe != nullptr) pclose(pipe);
  return loudness;
}

// ffmpeg's checksums of every decoded picture and block of sound.
std::string frame_checksums(const std::string& file) {
  return run("ffmpeg -v error -i " + shell_quoted(file) + " -map 0:v -map 0:a -f framemd5 -").output;
}

// Keeps a core busy for as long as it lives.
class BusyLoop {
 public:
  BusyLoop() : pid_(fork()) {
    if (pid_ == 0) {
      execl("/bin/sh", "sh", "-c", "while :; do :; done", static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~BusyLoop() {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  BusyLoop(const BusyLoop&) = delete;
  BusyLoop& operator=(const BusyLoop&) = delete;

 private:
  pid_t pid_;
};

// One lossless recording of the intro, shared by the checks below, and a
// second one made while the other core is kept busy.
class LosslessRecording : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    directory = fresh_directory();
    video = directory + "/run.mkv";
    log = directory + "/presented";
    const std::string options = "--seconds 3 --lossless -o ";
    result = record(INTRO_PROGRAM, options + shell_quoted(video), "INTRO_CAPTURE_PRESENTED_LOG=" + shell_quoted(log));
    {
      BusyLoop busy;
      busy_result = record(INTRO_PROGRAM, options + shell_quoted(directory + "/busy.mkv"));
    }
    frames = decode_frames(video);
    sound = decode_sound(video);
  }
  static void TearDownTestSuite() { run("rm -rf " + shell_quoted(directory)); }

  static inline std::string directory, video, log;
  static inline CommandResult result, busy_result;
  static inline std::vector<DecodedFrame> frames;
  static inline std::vector<int> sound;
};

TEST_F(LosslessRecording, HoldsExactlyTheFramesOfTheRunAndSoundOfTheSameLength) {
  ASSERT_EQ(result.status, 0) << result.output;
  expect_video(video, "ffv1", "flac");
  EXPECT_EQ(probe(video)["0.pix_fmt"], "bgr0");
  EXPECT_EQ(long(frames.size()), frames_of(scene_ms + fixed_ms, fps));
  EXPECT_EQ(long(sound.size()), long(frames.size()) * (sound_rate / fps));
}

TEST_F(LosslessRecording, IsTheSameWhenMadeAgainOnABusyMachine) {
  ASSERT_EQ(busy_result.status, 0) << busy_result.output;
  const std::string checksums = frame_checksums(video);
  EXPECT_GT(std::count(checksums.begin(), checksums.end(), '\n'), long(frames.size()));
  EXPECT_TRUE(checksums == frame_checksums(directory + "/busy.mkv")) << "the two recordings differ";
}

// Each frame is the picture presented most recently at its time: the
// frames follow the presents in order, from the display as it opened to the
// last picture of the run.
TEST_F(LosslessRecording, EveryFrameIsAPresentedPictureInOrder) {
  std::vector<uint64_t> presented;
  std::ifstream lines(log);
  for (std::string hash; lines >> hash;) presented.push_back(std::stoull(hash, nullptr, 16));
  ASSERT_GT(presented.size(), 400u);
  ASSERT_FALSE(frames.empty());
  EXPECT_EQ(frames.front().hash, presented.front()) << "the display as it opened";
  EXPECT_EQ(frames.back().hash, presented.back());
  auto at = presented.begin();  // the earliest present the next frame may show
  for (size_t i = 0; i < frames.size(); ++i) {
    at = std::find(at, presented.end(), frames[i].hash);
    ASSERT_NE(at, presented.end()) << "frame " << i << " of " << frames.size() << " was never presented, or out of order";
  }
}

// The music starts with the scene, in the frame that first shows the
// background, and stops when the scene ends; the credits page is silent.
TEST_F(LosslessRecording, SoundStartsAndEndsWithTheScene) {
  const auto first_background = std::find_if(frames.begin(), frames.end(), [](auto& f) { return f.background; });
  EXPECT_EQ(first_background - frames.begin(), (intro_ms * fps + 999) / 1000);
  const auto first_sound = std::find_if(sound.begin(), sound.end(), [](int level) { return level != 0; });
  EXPECT_EQ(first_sound - sound.begin(), intro_ms * sound_rate / 1000);
  const long scene_end = (intro_ms + scene_ms + teardown_ms) * sound_rate / 1000;
  ASSERT_LT(scene_end, long(sound.size()));
  EXPECT_TRUE(std::any_of(sound.begin() + scene_end - sound_rate, sound.begin() + scene_end, [](int l) { return l > 1000; }));
  EXPECT_TRUE(std::all_of(sound.begin() + scene_end, sound.end(), [](int level) { return level == 0; }));
}

TEST_F(LosslessRecording, ReportsProgressAndLeavesOnlyTheVideos) {
  EXPECT_NE(result.output.find("recording: 7.7/7.7 s simulated, "), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("x real time"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("wrote " + video + " (7.77 s of video)"), std::string::npos) << result.output;
  EXPECT_EQ(entry_count(directory), 3u) << "the two videos and the log of presented pictures, nothing partial";
}

TEST(Recording, TheIntroRecordsToAnMp4WithH264AndAacAtTheChosenRateAndScale) {
  const std::string directory = fresh_directory();
  const std::string video = directory + "/intro.mp4";
  const CommandResult result = record(INTRO_PROGRAM, "--seconds 1 --fps 30 --scale 2 -o " + shell_quoted(video));
  ASSERT_EQ(result.status, 0) << result.output;
  expect_video(video, "h264", "aac", "1280x960", "30/1");
  EXPECT_EQ(probe(video)["0.nb_frames"], std::to_string(frames_of(1000 + fixed_ms, 30)));
  run("rm -rf " + shell_quoted(directory));
}

TEST(Recording, FailuresAreReportedAndLeaveNoFile) {
  const std::string directory = fresh_directory();
  const std::string video = " --lossless --seconds 1 -o " + shell_quoted(directory + "/out.mkv");

  const CommandResult no_ffmpeg = record(INTRO_PROGRAM, video, "INTRO_CAPTURE_FFMPEG=/nonexistent/ffmpeg");
  EXPECT_NE(no_ffmpeg.status, 0);
  EXPECT_NE(no_ffmpeg.output.find("Debian package ffmpeg"), std::string::npos) << no_ffmpeg.output;

  const std::string missing = directory + "/missing/out.mkv";
  const CommandResult unwritable = record(INTRO_PROGRAM, "--lossless --seconds 1 -o " + shell_quoted(missing));
  EXPECT_NE(unwritable.status, 0);
  EXPECT_NE(unwritable.output.find("cannot write " + missing), std::string::npos) << unwritable.output;

  // The intro itself fails after opening its display: its texture is unusable.
  const std::string failing = directory + "/failing-intro";
  std::ofstream(failing) << "#!/bin/sh\nrm data/data04.dt && : > data/data04.dt && exec " << shell_quoted(INTRO_PROGRAM) << "\n";
  run("chmod +x " + shell_quoted(failing));
  const CommandResult failed = record(failing, video);
  EXPECT_NE(failed.status, 0);
  EXPECT_NE(failed.output.find("data04.dt"), std::string::npos) << failed.output;
  EXPECT_NE(failed.output.find("the intro failed (exit status 1)"), std::string::npos) << failed.output;

  // Refused options: the message names what is wrong, the usage follows.
  const std::pair<std::string, std::string> refusals[] = {
      {"--fps 7", "--fps wants"}, {"--fps 480", "--fps wants"}, {"--scale 5", "--scale wants"},
      {"--seconds 1.005", "--seconds wants"}, {"--frobnicate", "unknown option '--frobnicate'"},
      {"-o " + shell_quoted(directory + "/x.mkv") + " --lossless -o x.mp4", "x.mp4 would be an MP4 file"}};
  for (const auto& [option, message] : refusals) {
    const CommandResult refused = record(INTRO_PROGRAM, video + " " + option);
    EXPECT_EQ(refused.status, 2) << option;
    EXPECT_NE(refused.output.find(message), std::string::npos) << refused.output;
    EXPECT_NE(refused.output.find("./record-intro.sh [--seconds N]"), std::string::npos) << refused.output;
  }
  const CommandResult mkv_without_lossless = record(INTRO_PROGRAM, "-o " + shell_quoted(directory + "/x.mkv"));
  EXPECT_EQ(mkv_without_lossless.status, 2);
  EXPECT_NE(mkv_without_lossless.output.find("which only --lossless writes"), std::string::npos);
  const CommandResult help = record(INTRO_PROGRAM, "--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.output.find("--scale K"), std::string::npos) << help.output;

  run("rm " + shell_quoted(failing));
  EXPECT_EQ(entry_count(directory), 0u) << "no partial file is left behind";
  run("rm -rf " + shell_quoted(directory));
}

}  // namespace
