#include "scene/anim_state.h"

std::atomic<AnimState*> anim_state{nullptr};
