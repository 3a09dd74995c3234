// The main scene: music and asset set-up, the intro (logo fade-in and rise,
// divider lines), the worker threads, the frame loop until Escape or an
// interrupt, and the teardown.
#pragma once

#include <SDL/SDL.h>

#include <array>
#include <cstdint>

#include "gfx/frame.h"
#include "scene/anim_state.h"
#include "scene/dividers.h"
#include "scene/logo.h"
#include "scene/rotozoom.h"
#include "scene/scroller.h"
#include "scene/text_panel.h"

// What the running scene draws from: its animation state and its effects,
// owned by the scene driver from the scene's set-up to its release. The
// interrupt handler reaches the state through scene/interrupt_target.h.
struct Scene {
  AnimState state;
  RotoZoom background;
  LogoFx logo;
  TextPanel panel;
  SineScroller scroller;
  std::array<uint32_t, divider_length> saved_divider_row;  // the upper line as the intro drew it
};

// Runs the whole scene on `display`, on the calling (main) thread, and
// returns when it has ended and released everything it set up; the display
// and the libraries stay open. It returns early, with nothing shown, when an
// image or the module is missing or unusable (reported on standard error; the
// result is then false). With no sound driver at all it runs without music.
bool run_main_scene(SDL_Surface* display);

// One frame of the scene's loop onto the 640 × 480 frame, drawn but not
// presented: background, text panel, scroller, the fade-in band while it
// runs, logo, divider lines.
void draw_scene_frame(Scene& scene, const FrameView& frame);
