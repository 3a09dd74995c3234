// Renders a module to a WAV file with libmikmod for listening and for the
// preview's spectrogram: the whole song, then ten seconds of its restart.
//
//   render_module MODULE OUT.wav
#include <cstdio>

#include "module_render.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: render_module MODULE OUT.wav\n");
    return 2;
  }
  const Rendering r = render_module(argv[1], argv[2], 10.0);
  if (!r.loaded) {
    std::fprintf(stderr, "libmikmod cannot load %s\n", argv[1]);
    return 1;
  }
  std::printf("song restarts after %.2f s; rendered %.2f s at %d Hz\n", r.wrap_seconds,
              r.rate ? r.samples.size() / 2.0 / r.rate : 0.0, r.rate);
  return 0;
}
