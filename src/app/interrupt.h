#pragma once

// SIGINT handler: ends the main scene as Escape does, by clearing the running
// flag of the animation state. Outside the scene there is no state and an
// interrupt is ignored. Only lock-free atomic operations: async-signal-safe.
void handle_interrupt(int signal_number);
