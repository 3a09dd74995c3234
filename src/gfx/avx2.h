// For the *_avx2.cpp files only: what their AVX2 code is compiled with.
//
// AVX2 versions are compiled for x86, 64-bit and 32-bit, with GCC or Clang.
// Every function that uses AVX2 carries INTRO_TARGET_AVX2, and the files are
// compiled with the same flags as the rest: were a file compiled with -mavx2,
// an inline function or template it shares with plain code (a header's
// helper, a std::vector member) could be emitted there with AVX2 instructions
// and kept by the linker for the plain callers too, which would then fault on
// a processor without AVX2. Plain helpers called from INTRO_TARGET_AVX2
// functions are still inlined into them.
#pragma once

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
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
