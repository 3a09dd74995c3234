#include "gfx/cpu_features.h"

bool cpu_runs_avx2() {
#if INTRO_AVX2_PATHS
  static const bool runs_avx2 = __builtin_cpu_supports("avx2");
  return runs_avx2;
#else
  return false;
#endif
}
