#pragma once

// The handler of SIGINT and SIGTERM: ends the main scene as Escape does, by
// clearing the running flag of its animation state
// (scene/interrupt_target.h). Outside the scene there is no state and the
// signal is ignored. Only lock-free atomic operations: async-signal-safe.
void handle_interrupt(int signal_number);
