#include "gfx/fast_paths.h"

#include <cstdlib>
#include <cstring>

#include "gfx/avx2.h"

namespace {

bool switched_off_by_environment() {
  const char* setting = std::getenv("INTRO_FAST_PATHS");
  return setting != nullptr && std::strcmp(setting, "off") == 0;
}

bool processor_runs_avx2() {
#if INTRO_AVX2_PATHS
  // The choice is made while the program starts, possibly before the run-time
  // library has examined the processor itself.
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

}  // namespace

bool fast_paths_on() {
  static const bool on = !switched_off_by_environment() && processor_runs_avx2();
  return on;
}
