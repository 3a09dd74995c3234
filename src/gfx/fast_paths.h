// The drawing operations that the profile names (the background, the blit,
// the darkening, the logo and the scene's fade-in band) each have an AVX2
// version in a file of its own (*_avx2.cpp) beside the plain version, which
// states the formula as it reads. Both give the same pixels. Which one runs
// is decided once, when the program starts, for the whole run and the same
// way for every operation: the AVX2 versions where the processor has AVX2,
// unless the environment holds INTRO_FAST_PATHS=off, which forces the plain
// ones (the tests run both ways with it).
#pragma once

// True when this run takes the AVX2 versions.
bool fast_paths_on();

// The version of an operation this run takes: `avx2` when fast paths are on
// and one is compiled (it is null where none is), else `plain`. Each
// operation keeps the result in a constant set at start-up.
template <typename Operation>
Operation chosen_path(Operation plain, Operation avx2) {
  return avx2 != nullptr && fast_paths_on() ? avx2 : plain;
}
