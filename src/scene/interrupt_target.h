// What the interrupt handler reaches: the animation state of the running
// scene. A signal handler cannot be handed anything, so this is the one
// process-wide state the scene keeps. The handler may run on any thread at
// any moment (the music library's own threads live until MikMod_Exit, after
// the state is gone), so the state is withdrawn in a way that waits for every
// handler still holding it before the driver frees it.
#pragma once

#include "scene/anim_state.h"

// Makes `state` the one an interrupt stops.
void publish_interrupt_target(AnimState& state);

// Clears the target and returns once no handler can still store into the
// state it named: the state may be freed after this.
void withdraw_interrupt_target();

// The handler's part: clears `running` of the published state, if there is
// one. Async-signal-safe: lock-free atomic operations only, and no waiting.
void stop_interrupt_target();
