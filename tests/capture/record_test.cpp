// Recording tests: record-intro.sh runs the stand-in driver (or the intro)
// through the capture libraries and ffmpeg, and ffprobe and ffmpeg read the
// result back: its format, every picture, and the sound against the picture.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr size_t frame_bytes = 640 * 480 * 4;
constexpr int sound_rate = 44100;
constexpr double scene_seconds = 3;
constexpr double fixed_seconds = 4.5;  // logo intro, fades and credits around the scene

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
  size_t got;
  while ((got = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.output.append(buffer.data(), got);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
  return result;
}

std::string record_command(const std::string& options) {
  return "INTRO_BUILD_DIR=" + shell_quoted(BUILD_DIR) + " " + shell_quoted(std::string(PROJECT_ROOT) + "/record-intro.sh") +
         " --no-build " + options;
}

std::string fresh_directory() {
  char name[] = "/tmp/record-test.XXXXXX";
  return mkdtemp(name);
}

std::vector<std::string> entries_of(const std::string& directory) {
  const CommandResult listing = run("ls -A " + shell_quoted(directory));
  std::vector<std::string> names;
  std::istringstream lines(listing.output);
  for (std::string name; std::getline(lines, name);) names.push_back(name);
  return names;
}

// ffprobe's key=value lines, one map per stream and one for the container.
struct Probe {
  std::vector<std::map<std::string, std::string>> streams;
  std::map<std::string, std::string> format;
};

Probe probe(const std::string& file) {
  const CommandResult result = run("ffprobe -v error -show_streams -show_format -of flat=s=_ " + shell_quoted(file));
  Probe probed;
  std::istringstream lines(result.output);
  for (std::string line; std::getline(lines, line);) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    std::string key = line.substr(0, equals), value = line.substr(equals + 1);
    if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
    if (key.rfind("streams_stream_", 0) == 0) {
      const size_t index_end = key.find('_', 15);
      const size_t index = std::stoul(key.substr(15, index_end - 15));
      if (probed.streams.size() <= index) probed.streams.resize(index + 1);
      probed.streams[index][key.substr(index_end + 1)] = value;
    } else if (key.rfind("format_", 0) == 0) {
      probed.format[key.substr(7)] = value;
    }
  }
  return probed;
}

// Same hash as the driver's: FNV-1a over pairs of pixels, byte 3 cleared.
uint64_t picture_hash(const std::vector<uint8_t>& frame) {
  const auto* pairs = reinterpret_cast<const uint64_t*>(frame.data());
  uint64_t hash = 1469598103934665603ull;
  for (size_t i = 0; i < frame.size() / 8; ++i) {
    hash ^= pairs[i] & 0x00ffffff00ffffffull;
    hash *= 1099511628211ull;
  }
  return hash;
}

struct DecodedFrame {
  uint64_t hash;
  uint32_t top_left;
};

std::vector<DecodedFrame> decode_frames(const std::string& file) {
  std::vector<DecodedFrame> frames;
  FILE* pipe = popen(("ffmpeg -v error -i " + shell_quoted(file) + " -map 0:v -f rawvideo -pix_fmt bgr0 -").c_str(), "r");
  std::vector<uint8_t> frame(frame_bytes);
  while (pipe != nullptr && fread(frame.data(), 1, frame.size(), pipe) == frame.size()) {
    uint32_t top_left;
    std::memcpy(&top_left, frame.data(), 4);
    frames.push_back({picture_hash(frame), top_left & 0x00ffffffu});
  }
  if (pipe != nullptr) pclose(pipe);
  return frames;
}

// Sound as 16-bit stereo frames at 44100 Hz; one value per frame, the larger
// magnitude of the two channels.
std::vector<int> decode_sound(const std::string& file) {
  std::vector<int> loudness;
  FILE* pipe = popen(("ffmpeg -v error -i " + shell_quoted(file) + " -map 0:a -f s16le -ac 2 -ar 44100 -").c_str(), "r");
  int16_t pair[2];
  while (pipe != nullptr && fread(pair, sizeof(pair), 1, pipe) == 1)
    loudness.push_back(std::max(std::abs(int(pair[0])), std::abs(int(pair[1]))));
  if (pipe != nullptr) pclose(pipe);
  return loudness;
}

std::map<uint64_t, std::string> presented_pictures(const std::string& log_path) {
  std::map<uint64_t, std::string> phases;
  std::ifstream log(log_path);
  std::string hash, phase;
  while (log >> hash >> phase) phases.emplace(std::stoull(hash, nullptr, 16), phase);
  return phases;
}

// One lossless recording of the stand-in, shared by the checks below.
class LosslessRecording : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    directory = new std::string(fresh_directory());
    video = new std::string(*directory + "/run.mkv");
    log = new std::string(*directory + "/presented");
    result = new CommandResult(run("CAPTURE_DRIVER_LOG=" + shell_quoted(*log) + " " +
                         record_command("--intro " + shell_quoted(CAPTURE_DRIVER) + " --seconds 3 --lossless -o " +
                                        shell_quoted(*video))));
    frames = new std::vector<DecodedFrame>(decode_frames(*video));
    sound = new std::vector<int>(decode_sound(*video));
  }
  static void TearDownTestSuite() { run("rm -rf " + shell_quoted(*directory)); }

  static bool scene_frame(const DecodedFrame& frame) { return (frame.top_left >> 16) == 0xc0; }

  static std::string* directory;
  static std::string* video;
  static std::string* log;
  static CommandResult* result;
  static std::vector<DecodedFrame>* frames;
  static std::vector<int>* sound;
};

std::string* LosslessRecording::directory;
std::string* LosslessRecording::video;
std::string* LosslessRecording::log;
CommandResult* LosslessRecording::result;
std::vector<DecodedFrame>* LosslessRecording::frames;
std::vector<int>* LosslessRecording::sound;

TEST_F(LosslessRecording, IsA640By480VideoAt60FramesWithOneSoundStreamAndTheExpectedLength) {
  ASSERT_EQ(result->status, 0) << result->output;
  Probe probed = probe(*video);
  ASSERT_EQ(probed.streams.size(), 2u);
  EXPECT_EQ(probed.streams[0]["codec_type"], "video");
  EXPECT_EQ(probed.streams[0]["codec_name"], "ffv1");
  EXPECT_EQ(probed.streams[0]["pix_fmt"], "bgr0");
  EXPECT_EQ(probed.streams[0]["width"], "640");
  EXPECT_EQ(probed.streams[0]["height"], "480");
  EXPECT_EQ(probed.streams[0]["r_frame_rate"], "60/1");
  EXPECT_EQ(probed.streams[1]["codec_type"], "audio");
  const double duration = std::stod(probed.format["duration"]);
  EXPECT_NEAR(duration, scene_seconds + fixed_seconds, 0.5);
  EXPECT_NEAR(double(frames->size()) / 60, duration, 0.05);
}

TEST_F(LosslessRecording, EveryFrameIsAPresentedPictureFromTheLogoFadeInToTheLastFade) {
  const auto presented = presented_pictures(*log);
  ASSERT_FALSE(frames->empty());
  size_t unknown = 0;
  for (const DecodedFrame& frame : *frames) unknown += presented.count(frame.hash) == 0;
  EXPECT_EQ(unknown, 0u) << "of " << frames->size() << " frames";

  const auto phase_of = [&](const DecodedFrame& frame) {
    auto found = presented.find(frame.hash);
    return found == presented.end() ? std::string("?") : found->second;
  };
  EXPECT_EQ(phase_of(frames->front()), "opened");
  size_t first_shown = 0;
  while (first_shown < frames->size() && phase_of((*frames)[first_shown]) == "opened") ++first_shown;
  ASSERT_LT(first_shown, frames->size());
  EXPECT_EQ(phase_of((*frames)[first_shown]), "fade-in");
  EXPECT_EQ(phase_of(frames->back()), "fade");
}

TEST_F(LosslessRecording, SoundIsSilentUntilTheSceneAndStartsWithItsFirstFrame) {
  ASSERT_FALSE(sound->empty());
  EXPECT_NEAR(double(sound->size()) / sound_rate, double(frames->size()) / 60, 0.1);

  size_t first_scene_frame = 0;
  while (first_scene_frame < frames->size() && !scene_frame((*frames)[first_scene_frame])) ++first_scene_frame;
  ASSERT_LT(first_scene_frame, frames->size());
  size_t first_sound = 0;
  while (first_sound < sound->size() && (*sound)[first_sound] == 0) ++first_sound;
  ASSERT_LT(first_sound, sound->size());
  const double picture_start = double(first_scene_frame) / 60;
  const double sound_start = double(first_sound) / sound_rate;
  EXPECT_GT(sound_start, 1.5) << "the logo intro is silent";
  EXPECT_NEAR(sound_start, picture_start, 0.1);

  // The music sounds through the scene and stops with it.
  size_t last_scene_frame = first_scene_frame;
  for (size_t i = first_scene_frame; i < frames->size(); ++i)
    if (scene_frame((*frames)[i])) last_scene_frame = i;
  const size_t scene_end = last_scene_frame * sound_rate / 60;
  size_t loud = 0;
  for (size_t i = first_sound; i < scene_end && i < sound->size(); ++i) loud += (*sound)[i] > 1000;
  EXPECT_GT(double(loud), 0.9 * double(scene_end - first_sound));
  for (size_t i = scene_end + sound_rate / 10; i < sound->size(); ++i) ASSERT_EQ((*sound)[i], 0) << "at " << i;
}

TEST_F(LosslessRecording, ReportsProgressAndFramesDropped) {
  EXPECT_NE(result->output.find("recording: "), std::string::npos) << result->output;
  EXPECT_NE(result->output.find("frames dropped"), std::string::npos) << result->output;
  EXPECT_NE(result->output.find("wrote " + *video), std::string::npos) << result->output;
  const auto names = entries_of(*directory);
  EXPECT_EQ(names.size(), 3u) << "the video, the driver's log and its module, nothing partial";
}

TEST(Recording, TheIntroRecordsToAnMp4WithH264AndAac) {
  const std::string directory = fresh_directory();
  const std::string video = directory + "/intro.mp4";
  const CommandResult result = run(record_command("--intro " + shell_quoted(INTRO_PROGRAM) + " --seconds 1 -o " + shell_quoted(video)));
  ASSERT_EQ(result.status, 0) << result.output;
  Probe probed = probe(video);
  ASSERT_EQ(probed.streams.size(), 2u);
  EXPECT_EQ(probed.streams[0]["codec_name"], "h264");
  EXPECT_EQ(probed.streams[0]["width"], "640");
  EXPECT_EQ(probed.streams[0]["height"], "480");
  EXPECT_EQ(probed.streams[0]["r_frame_rate"], "60/1");
  EXPECT_EQ(probed.streams[1]["codec_name"], "aac");
  run("rm -rf " + shell_quoted(directory));
}

TEST(Recording, FailuresAreReportedAndLeaveNoFile) {
  const std::string directory = fresh_directory();
  const std::string video = directory + "/out.mkv";
  const std::string driver = "--intro " + shell_quoted(CAPTURE_DRIVER) + " --lossless --seconds 1 ";

  const CommandResult no_ffmpeg = run("INTRO_CAPTURE_FFMPEG=/nonexistent/ffmpeg " + record_command(driver + "-o " + shell_quoted(video)));
  EXPECT_NE(no_ffmpeg.status, 0);
  EXPECT_NE(no_ffmpeg.output.find("Debian package ffmpeg"), std::string::npos) << no_ffmpeg.output;

  const CommandResult unwritable = run(record_command(driver + "-o " + shell_quoted(directory + "/missing/out.mkv")));
  EXPECT_NE(unwritable.status, 0);
  EXPECT_NE(unwritable.output.find("cannot write " + directory + "/missing/out.mkv"), std::string::npos)
      << unwritable.output;

  const CommandResult failing = run("CAPTURE_DRIVER_FAIL=1 " + record_command(driver + "-o " + shell_quoted(video)));
  EXPECT_NE(failing.status, 0);
  EXPECT_NE(failing.output.find("driver: cannot go on, the assets are unusable"), std::string::npos)
      << failing.output;
  EXPECT_NE(failing.output.find("the intro failed (exit status 3)"), std::string::npos) << failing.output;

  EXPECT_TRUE(entries_of(directory).empty()) << "no partial file is left behind";
  run("rm -rf " + shell_quoted(directory));
}

}  // namespace
