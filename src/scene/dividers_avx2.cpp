// The AVX2 version of the scene fade-in's pixel loop; the same pixels as the
// plain loop of dividers.cpp.
#include "gfx/avx2.h"
#include "scene/dividers_paths.h"

#if INTRO_AVX2_PATHS
namespace {

// The limit is an unsigned byte minimum; byte 3 is compared with 255, which
// keeps it.
INTRO_TARGET_AVX2 void limit_pixels(uint32_t* pixel, uint32_t* end, uint8_t level) {
  const __m256i limit = _mm256_set1_epi32(int(0xff000000u | level * 0x010101u));
  for (; end - pixel >= 8; pixel += 8) {
    __m256i* at = reinterpret_cast<__m256i*>(pixel);
    _mm256_storeu_si256(at, _mm256_min_epu8(_mm256_loadu_si256(at), limit));
  }
  leave_avx_state();
  limit_pixels_plain(pixel, end, level);
}

}  // namespace

const LimitPixels limit_pixels_avx2 = limit_pixels;
#else
const LimitPixels limit_pixels_avx2 = nullptr;
#endif
