// Which vector instructions the drawing code may use, decided once at run
// time, so that one x86-64 build runs on any x86-64 processor: the drawing
// operations take their AVX2 versions where the processor has AVX2 and their
// plain versions everywhere else. Both give the same pixels.
#pragma once

// The AVX2 versions are compiled only for x86-64 with GCC or Clang, which
// can build single functions for a wider target than the rest of the file.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define INTRO_AVX2_PATHS 1
#define INTRO_TARGET_AVX2 __attribute__((target("avx2")))
#else
#define INTRO_AVX2_PATHS 0
#endif

#if INTRO_AVX2_PATHS
#include <immintrin.h>

// Clears the upper halves of the vector registers before an AVX2 function
// hands its last pixels to plain code. GCC leaves them dirty across a tail
// call, and plain SSE code (and the x87 code of the tests' references) then
// runs many times slower for as long as they stay dirty.
INTRO_TARGET_AVX2 inline void leave_avx_state() { _mm256_zeroupper(); }
#endif

// True when this processor runs AVX2 code (always false where no AVX2
// version is compiled).
bool cpu_runs_avx2();
