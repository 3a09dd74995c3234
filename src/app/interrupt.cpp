#include "app/interrupt.h"

#include "scene/anim_state.h"

void handle_interrupt(int) {
  AnimState* state = anim_state.load(relaxed);
  if (state != nullptr) state->running.store(0, relaxed);
}
