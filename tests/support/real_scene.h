// The main scene set up from the generated assets as the scene driver sets it
// up, but with no display, no music and no worker threads: for drawing whole
// frames of the loop in memory with chosen animation values.
#pragma once

#include <SDL/SDL.h>

#include "scene/scene.h"

struct RealScene : Scene {
  SDL_Surface* texture = nullptr;  // its red and blue exchanged, as the scene driver leaves it
  int upper_row = 0;               // the upper divider's
};

// Loads the assets from data/ under the working directory and sets up every
// effect, with the divider row the intro would have saved. The media entry
// points that create, fill and free surfaces must be bound. Exits with a
// message naming `program` when an asset cannot be used.
void set_up_real_scene(RealScene& scene, const char* program);

// A frame in the middle of the scene: letters on screen, the logo swayed and
// wobbling near the top, the fade-in half way.
void set_scene_values(AnimState& state);
