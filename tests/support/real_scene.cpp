#include "support/real_scene.h"

#include <cstdio>
#include <cstdlib>

#include "gfx/assets.h"
#include "gfx/image.h"
#include "platform/entry_points.h"
#include "scene/dividers.h"

namespace {

SDL_Surface* load_asset(const char* path, const char* program) {
  if (SDL_Surface* image = load_image(path)) return image;
  std::fprintf(stderr, "%s: cannot load %s (build the project first)\n", program, path);
  std::exit(1);
}

}  // namespace

void set_up_real_scene(RealScene& scene, const char* program) {
  if (!logo_init(scene.logo)) std::exit(1);
  scene.upper_row = upper_divider_row(scene.logo.surface->h);
  // The panel and the scroller copy their glyphs into atlases of their own.
  SDL_Surface* font = load_asset(small_font_path, program);
  text_panel_init(scene.panel, font);
  lib::SDL_FreeSurface(font);
  text_panel_typeset(scene.panel);
  scene.texture = load_asset(texture_path, program);
  swap_red_blue(scene.texture);
  rotozoom_init(scene.background, scene.texture);
  font = load_asset(big_font_path, program);
  scroller_init(scene.scroller, font);
  lib::SDL_FreeSurface(font);
  for (int x = 0; x < display_width; ++x) scene.saved_divider_row[size_t(x)] = divider_grey(x);
  set_scene_values(scene.state);
}

void set_scene_values(AnimState& state) {
  state.angle = 0;
  state.scroll_x = 150.0;
  state.tick = 300;
  state.phase = 123.5;
  state.logo_y = 4.0;
  state.fade = 128;
}
