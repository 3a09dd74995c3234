// Draws whole frames of the scene's loop into an in-memory display with the
// recording media library and writes their pixels, one frame after another,
// to the file named by its argument. The scene is set up from the generated
// assets in data/ under the working directory, and every frame has fixed
// animation values, so two builds that draw alike write identical files:
// the i386 build's frames are compared with the x86-64 build's this way.
//
// usage: draw_frames FILE
#include <cstdio>

#include "gfx/frame.h"
#include "support/media_double.h"
#include "support/real_scene.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: draw_frames FILE\n");
    return 2;
  }
  SDL_Surface* display = open_test_display();
  RealScene scene;
  set_up_real_scene(scene, "draw_frames");
  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr) return 1;
  // The fade-in at its start, half way and over; the background, the logo's
  // wobble and the scroller at steps spread over their ranges.
  for (const int fade : {0, 128, 255}) {
    for (const int step : {0, 77, 333, 639}) {
      scene.state.fade = uint8_t(fade);
      scene.state.angle = int16_t(step);
      scene.state.tick = 300 + step;
      scene.state.phase = 123.5 + step * 0.37;
      scene.state.scroll_x = 640.0 - step * 2.5;
      draw_scene_frame(scene, frame_of(display));
      std::fwrite(display->pixels, 4, size_t(display->w) * size_t(display->h), out);
    }
  }
  return std::fclose(out) == 0 ? 0 : 1;
}
