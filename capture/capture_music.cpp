// Capture music library: stands in for libmikmod as data/mikmod.library. It
// forwards the intro's calls to the system's libmikmod, but the only output
// driver it registers is its own: on every update libmikmod's software mixer
// renders exactly the sound due for the simulated time elapsed (the virtual
// clock, virtual_clock.h), so the music keeps its speed however fast the run
// goes. The sound goes as raw 16-bit stereo at 48000 Hz to the path in
// INTRO_CAPTURE_AUDIO (a named pipe that the encoder reads), from simulated
// time 0, where the picture stream starts too. Whenever no module plays,
// silence fills the stream up to the moment the capture media library asks
// for (intro_capture_sound_until, after each of the intro's waits and
// presents), and the stream ends where it says (intro_capture_sound_end).
#include <dlfcn.h>
#include <mikmod.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "stream_writer.h"
#include "virtual_clock.h"

#define CAPTURE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr int64_t mix_rate = 48000;
constexpr int64_t bytes_per_frame = 4;  // 16-bit stereo
constexpr size_t audio_queue_limit = 64u << 20;
constexpr double reader_wait_seconds = 10.0;
constexpr const char* driver_alias = "capture";

// The real entry points of the system's libmikmod. Ours carry the same names,
// so the real ones are looked up in the library itself.
struct RealMikMod {
  decltype(&::Player_Start) Player_Start;
  decltype(&::Player_Active) Player_Active;
  decltype(&::Player_Stop) Player_Stop;
  decltype(&::Player_Free) Player_Free;
  decltype(&::MikMod_Update) MikMod_Update;
  decltype(&::MikMod_RegisterAllLoaders) MikMod_RegisterAllLoaders;
  decltype(&::MikMod_Init) MikMod_Init;
  decltype(&::MikMod_Exit) MikMod_Exit;
  decltype(&::Player_Load) Player_Load;
};

struct SoundCapture {
  RealMikMod real{};
  bool bound = false;
  StreamWriter audio;
  bool streaming = false;
  std::mutex position_lock;   // guards what follows
  int64_t frames_written = 0;  // sound frames in the stream so far
  bool playing = false;        // a module plays: the driver's updates fill the stream
  int64_t end_ns = -1;         // where the stream ends, once the picture has ended
};

// Never destroyed: its stream is finished by intro_capture_sound_end or by
// finish_sound_capture, whatever order the library's finalisers run in.
SoundCapture& sound = *new SoundCapture;

template <typename Fn>
bool look_up(void* library, const char* name, Fn& entry) {
  entry = reinterpret_cast<Fn>(dlsym(library, name));
  if (entry == nullptr) std::fprintf(stderr, "capture: libmikmod lacks %s\n", name);
  return entry != nullptr;
}

bool bind_real_mikmod() {
  void* library = dlopen("libmikmod.so.3", RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    std::fprintf(stderr, "capture: cannot open libmikmod.so.3: %s\n", dlerror());
    return false;
  }
  RealMikMod& real = sound.real;
  return look_up(library, "Player_Start", real.Player_Start) &&
         look_up(library, "Player_Active", real.Player_Active) &&
         look_up(library, "Player_Stop", real.Player_Stop) &&
         look_up(library, "Player_Free", real.Player_Free) &&
         look_up(library, "MikMod_Update", real.MikMod_Update) &&
         look_up(library, "MikMod_RegisterAllLoaders", real.MikMod_RegisterAllLoaders) &&
         look_up(library, "MikMod_Init", real.MikMod_Init) &&
         look_up(library, "MikMod_Exit", real.MikMod_Exit) &&
         look_up(library, "Player_Load", real.Player_Load);
}

// Sound frames due in the stream at simulated time `now_ns`, never past its
// end; called with position_lock held.
int64_t frames_due_locked(int64_t now_ns) {
  if (sound.end_ns >= 0 && now_ns > sound.end_ns) now_ns = sound.end_ns;
  return now_ns * mix_rate / 1000000000 - sound.frames_written;
}

void push_frames_locked(std::shared_ptr<std::vector<uint8_t>> bytes, int64_t frames) {
  sound.frames_written += frames;
  if (sound.streaming) stream_push(sound.audio, Chunk{std::move(bytes), 1});
}

void pad_silence_locked(int64_t now_ns) {
  const int64_t frames = frames_due_locked(now_ns);
  if (frames <= 0) return;
  push_frames_locked(std::make_shared<std::vector<uint8_t>>(size_t(frames * bytes_per_frame)), frames);
}

// Without the clock (reported at loading) no sound is ever due.
int64_t now_ns() { return virtual_clock_runs() ? intro_clock_now_ns() : 0; }

// The driver's update: the mixer renders the sound due since the last one.
void capture_update() {
  std::lock_guard<std::mutex> hold(sound.position_lock);
  const int64_t frames = frames_due_locked(now_ns());
  if (frames <= 0) return;
  auto bytes = std::make_shared<std::vector<uint8_t>>(size_t(frames * bytes_per_frame));
  VC_WriteBytes(reinterpret_cast<SBYTE*>(bytes->data()), ULONG(bytes->size()));
  push_frames_locked(std::move(bytes), frames);
}

// While the player is held (pf->forbid) the time still passes, in silence.
void capture_pause() {
  std::lock_guard<std::mutex> hold(sound.position_lock);
  pad_silence_locked(now_ns());
}

BOOL capture_is_present() { return 1; }

int capture_init() {
  md_mixfreq = UWORD(mix_rate);
  md_mode = UWORD((md_mode | DMODE_16BITS | DMODE_STEREO | DMODE_SOFT_MUSIC | DMODE_SOFT_SNDFX) & ~DMODE_FLOAT);
  return VC_Init();
}

int capture_reset() {
  VC_Exit();
  return capture_init();
}

MDRIVER capture_driver = {
    nullptr, "Intro capture", "Intro capture: mixed sound to a stream", 0, 255, driver_alias, nullptr,
    nullptr, capture_is_present, VC_SampleLoad, VC_SampleUnload, VC_SampleSpace, VC_SampleLength,
    capture_init, VC_Exit, capture_reset, VC_SetNumVoices, VC_PlayStart, VC_PlayStop, capture_update,
    capture_pause, VC_VoiceSetVolume, VC_VoiceGetVolume, VC_VoiceSetFrequency, VC_VoiceGetFrequency,
    VC_VoiceSetPanning, VC_VoiceGetPanning, VC_VoicePlay, VC_VoiceStop, VC_VoiceStopped,
    VC_VoiceGetPosition, VC_VoiceRealVolume};

void register_capture_driver() {
  if (MikMod_DriverFromAlias(driver_alias) == 0) MikMod_RegisterDriver(&capture_driver);
}

void set_playing(bool playing) {
  std::lock_guard<std::mutex> hold(sound.position_lock);
  pad_silence_locked(now_ns());
  sound.playing = playing;
}

}  // namespace

// Every output driver of the system stays unregistered: the capture's own is
// the only one, so no sound device is probed or opened.
CAPTURE_EXPORT void MikMod_RegisterAllDrivers() { register_capture_driver(); }

CAPTURE_EXPORT void MikMod_RegisterAllLoaders() {
  if (sound.bound) sound.real.MikMod_RegisterAllLoaders();
}

CAPTURE_EXPORT int MikMod_Init(const CHAR* parameters) {
  if (!sound.bound) return 1;
  register_capture_driver();
  md_device = UWORD(MikMod_DriverFromAlias(driver_alias));
  return sound.real.MikMod_Init(parameters);
}

CAPTURE_EXPORT void MikMod_Exit() {
  if (!sound.bound) return;
  sound.real.MikMod_Exit();
  set_playing(false);
}

CAPTURE_EXPORT MODULE* Player_Load(const CHAR* file, int max_channels, BOOL curious) {
  return sound.bound ? sound.real.Player_Load(file, max_channels, curious) : nullptr;
}

// The module starts at this moment of the stream: silence up to now first.
CAPTURE_EXPORT void Player_Start(MODULE* module) {
  if (!sound.bound) return;
  set_playing(true);
  sound.real.Player_Start(module);
}

CAPTURE_EXPORT BOOL Player_Active() { return sound.bound ? sound.real.Player_Active() : 0; }

CAPTURE_EXPORT void Player_Stop() {
  if (!sound.bound) return;
  sound.real.Player_Stop();
  set_playing(false);
}

CAPTURE_EXPORT void Player_Free(MODULE* module) {
  if (sound.bound) sound.real.Player_Free(module);
}

CAPTURE_EXPORT void MikMod_Update() {
  if (sound.bound) sound.real.MikMod_Update();
}

// Simulated time has reached `now_ns`: silence up to there while no module plays.
CAPTURE_EXPORT void intro_capture_sound_until(long long now_ns) {
  std::lock_guard<std::mutex> hold(sound.position_lock);
  if (!sound.playing) pad_silence_locked(now_ns);
}

// The picture has ended at `end_ns`: the sound is filled up to there, ends
// there, and is written out.
CAPTURE_EXPORT void intro_capture_sound_end(long long end_ns) {
  {
    std::lock_guard<std::mutex> hold(sound.position_lock);
    pad_silence_locked(end_ns);
    sound.end_ns = end_ns;
  }
  if (sound.streaming) stream_finish(sound.audio, reader_wait_seconds);
}

static void start_sound_capture() {
  sound.bound = bind_real_mikmod();
  const char* audio_path = std::getenv("INTRO_CAPTURE_AUDIO");
  if (!virtual_clock_runs()) {
    std::fprintf(stderr, "capture: the sound follows the virtual clock, which is not loaded; it is not recorded\n");
  } else if (audio_path == nullptr || *audio_path == '\0') {
    std::fprintf(stderr, "capture: INTRO_CAPTURE_AUDIO is not set; the sound is not recorded\n");
  } else {
    stream_start(sound.audio, audio_path, "the sound stream", audio_queue_limit);
    sound.streaming = true;
  }
}

// Started when the intro loads the library, after `sound` exists: dynamic
// initialisation runs in order of definition within this file.
static const bool sound_capture_started = (start_sound_capture(), true);

// A run that never shut its display (it failed early) has no picture stream,
// and the encoder never gets as far as opening the sound stream.
__attribute__((destructor)) static void finish_sound_capture() {
  if (sound.streaming) stream_finish(sound.audio, 0.0);
}
