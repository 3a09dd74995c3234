// Renders a module with the real libmikmod through its WAV disk writer, as the
// scene plays it (up to 64 channels, restarting at its end), and reads the
// audio back for measurement.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Rendering {
  bool loaded = false;
  int channels = 0;              // channels the module uses
  int tempo = 0;                 // initial beats per minute
  double wrap_seconds = -1;      // song time at which the position went back to 0
  int rate = 0;                  // frames per second
  std::vector<int16_t> samples;  // interleaved stereo
};

// Plays `module_path` until the song has wrapped to its start and then
// `extra_seconds` more (or stops after `limit_seconds` when it never wraps),
// writing the audio to `wav_path`.
Rendering render_module(const std::string& module_path, const std::string& wav_path, double extra_seconds,
                        double limit_seconds = 600);
