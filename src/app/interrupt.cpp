#include "app/interrupt.h"

#include "scene/anim_state.h"

void handle_interrupt(int) {
  AnimState* state = anim_state.load(std::memory_order_relaxed);
  if (state != nullptr) state->running.store(0, std::memory_order_relaxed);
}
