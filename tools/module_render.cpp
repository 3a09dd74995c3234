#include "module_render.h"

#include <mikmod.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

uint32_t little_endian(const std::vector<char>& bytes, size_t at, int size) {
  uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = (value << 8) | uint8_t(bytes[at + size_t(i)]);
  return value;
}

// The 16-bit stereo data chunk of a RIFF WAVE file.
bool read_wav(const std::string& path, Rendering& out) {
  std::ifstream file(path, std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0) return false;
  for (size_t at = 12; at + 8 <= bytes.size();) {
    const uint32_t size = little_endian(bytes, at + 4, 4);
    if (std::memcmp(&bytes[at], "fmt ", 4) == 0) out.rate = int(little_endian(bytes, at + 12, 4));
    if (std::memcmp(&bytes[at], "data", 4) == 0) {
      const size_t end = std::min(bytes.size(), at + 8 + size_t(size));
      for (size_t i = at + 8; i + 1 < end; i += 2) out.samples.push_back(int16_t(little_endian(bytes, i, 2)));
      return true;
    }
    at += 8 + size + (size & 1);
  }
  return false;
}

}  // namespace

Rendering render_module(const std::string& module_path, const std::string& wav_path, double extra_seconds,
                        double limit_seconds) {
  Rendering result;
  MikMod_RegisterDriver(&drv_wav);
  MikMod_RegisterAllLoaders();
  md_device = MikMod_DriverFromAlias(const_cast<char*>("wav"));
  const std::string parameters = "file=" + wav_path;
  if (MikMod_Init(parameters.c_str()) != 0) return result;

  MODULE* module = Player_Load(module_path.c_str(), 64, 0);
  if (module != nullptr) {
    result.loaded = true;
    result.channels = module->numchn;
    result.tempo = module->inittempo;
    module->wrap = 1;
    Player_Start(module);
    // Song time keeps counting across the restart in some versions and starts
    // again in others; measure the extra time from the restart either way.
    double last_time = 0, extra_start = -1;
    int last_position = 0;
    for (;;) {
      MikMod_Update();
      const double now = module->sngtime / 1024.0;
      if (result.wrap_seconds < 0 && module->sngpos < last_position) {
        result.wrap_seconds = last_time;
        extra_start = now < last_time ? 0 : last_time;
      }
      last_position = module->sngpos;
      last_time = now;
      if (extra_start >= 0 && now - extra_start >= extra_seconds) break;
      if (result.wrap_seconds < 0 && now >= limit_seconds) break;
    }
    Player_Stop();
    Player_Free(module);
  }
  MikMod_Exit();  // closes the WAV file
  if (result.loaded) read_wav(wav_path, result);
  return result;
}
