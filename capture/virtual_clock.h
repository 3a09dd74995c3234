// The virtual clock: libintro_clock.so, preloaded (LD_PRELOAD) into one run of
// the intro, makes the run follow a simulated clock instead of the real one.
//
// Simulated time starts at 0 when the process starts and passes only when the
// program's driving thread (the intro's main thread, through its media
// library) passes it with intro_clock_pass_ns: a delay of N ms, a present.
// The library interposes three C library calls:
//
//   usleep          a worker thread (one the program created) sleeps until the
//                   simulated clock reaches its wake time, not the real one;
//   pthread_create  to know the worker threads;
//   pthread_join    lets simulated time run until the joined worker has ended,
//                   as the real wait would, so teardown never deadlocks.
//
// The rule that makes a run repeatable: while time passes, each worker whose
// wake time is reached runs until it sleeps again (or ends) before the clock
// goes past that time, and a new worker runs until its first sleep before any
// time passes at all. Workers therefore never run while the driving thread
// draws, and the same run gives the same pictures and sound however busy the
// machine is.
//
// Libraries that also work without the clock (the test doubles) reach these
// entry points as weak references: null when the clock is not preloaded.
#pragma once

extern "C" {

// Simulated nanoseconds since the process started.
long long intro_clock_now_ns();

// Called by the driving thread only: `ns` nanoseconds of simulated time pass,
// and every worker due meanwhile runs at its moment.
void intro_clock_pass_ns(long long ns);

// Called by a helper thread of the recording itself (an encoder pipe writer)
// as it starts: it leaves the clock, its sleeps are real and nothing waits
// for it.
void intro_clock_untimed_thread();
}

#ifndef INTRO_CLOCK_DEFINITION
#pragma weak intro_clock_now_ns
#pragma weak intro_clock_pass_ns
#pragma weak intro_clock_untimed_thread

// Whether this process runs on the virtual clock.
inline bool virtual_clock_runs() { return intro_clock_pass_ns != nullptr; }
#endif
