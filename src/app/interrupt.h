#pragma once

// SIGINT handler: ends the main scene as Escape does, by clearing the running
// flag of its animation state (scene/interrupt_target.h). Outside the scene
// there is no state and an interrupt is ignored. Only lock-free atomic
// operations: async-signal-safe.
void handle_interrupt(int signal_number);
