// The AVX2 versions of the blit's and the darkening's row loops; the same
// pixels as the plain loops of blit.cpp.
#include "gfx/avx2.h"
#include "gfx/blit_paths.h"

#if INTRO_AVX2_PATHS
namespace {

// One colour byte of eight pixels, four at a time in doubles as mix_pixel
// forms it: d − (d − s) × f, truncated.
INTRO_TARGET_AVX2 __m256i mix_channel(__m256i source, __m256i destination, int shift, __m256d factor_low,
                                      __m256d factor_high) {
  const __m256i byte = _mm256_set1_epi32(0xff);
  const __m256i d = _mm256_and_si256(_mm256_srli_epi32(destination, shift), byte);
  const __m256i difference = _mm256_sub_epi32(d, _mm256_and_si256(_mm256_srli_epi32(source, shift), byte));
  const __m256d low = _mm256_sub_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(d)),
                                    _mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(difference)), factor_low));
  const __m256d high =
      _mm256_sub_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(d, 1)),
                    _mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(difference, 1)), factor_high));
  return _mm256_slli_epi32(_mm256_set_m128i(_mm256_cvttpd_epi32(high), _mm256_cvttpd_epi32(low)), shift);
}

// mix_pixel on eight pixels at once. The factor a / 255 is the same
// correctly rounded division as in mix_pixel; the alpha sum wraps as the
// shift drops its ninth bit.
INTRO_TARGET_AVX2 __m256i mix_eight(__m256i source, __m256i destination) {
  const __m256i alpha = _mm256_srli_epi32(source, 24);
  const __m256d divisor = _mm256_set1_pd(255.0);
  const __m256d factor_low = _mm256_div_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(alpha)), divisor);
  const __m256d factor_high = _mm256_div_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(alpha, 1)), divisor);
  __m256i result = _mm256_slli_epi32(_mm256_add_epi32(_mm256_srli_epi32(destination, 24), alpha), 24);
  for (int shift = 0; shift < 24; shift += 8)
    result = _mm256_or_si256(result, mix_channel(source, destination, shift, factor_low, factor_high));
  return result;
}

// Four pixels widened to 16-bit lanes (bytes 0..3 of each in four lanes).
struct WidePixels {
  __m256i source, destination;
};

// The mix in integers: d − (d − s) × a / 255 is N / 255 with
// N = d × (255 − a) + s × a, at most 255 × 255, so it fits 16 bits. Where N
// is not a multiple of 255 the exact value lies at least 1/255 from a whole
// number, far beyond the rounding of the double formula, and both truncate to
// N / 255 (taken as (N × 0x8081) >> 23, exact for every 16-bit N). Where it
// is a multiple and d ≠ s, the double formula may land just below the whole
// number: those lanes are flagged in `needs_doubles`.
INTRO_TARGET_AVX2 __m256i mix_four_in_integers(const WidePixels& p, __m256i partial, __m256i& needs_doubles) {
  const __m256i alpha_lanes = _mm256_setr_epi8(6, 7, 6, 7, 6, 7, 6, 7, 14, 15, 14, 15, 14, 15, 14, 15, 6, 7, 6, 7,
                                               6, 7, 6, 7, 14, 15, 14, 15, 14, 15, 14, 15);
  const __m256i colour_lanes = _mm256_set1_epi64x(0x0000ffffffffffff);
  const __m256i full = _mm256_set1_epi16(255);
  const __m256i a = _mm256_shuffle_epi8(p.source, alpha_lanes);
  const __m256i n = _mm256_add_epi16(_mm256_mullo_epi16(p.destination, _mm256_sub_epi16(full, a)),
                                     _mm256_mullo_epi16(p.source, a));
  const __m256i quotient = _mm256_srli_epi16(_mm256_mulhi_epu16(n, _mm256_set1_epi16(int16_t(0x8081))), 7);
  const __m256i whole = _mm256_cmpeq_epi16(_mm256_mullo_epi16(quotient, full), n);
  const __m256i moved = _mm256_andnot_si256(_mm256_cmpeq_epi16(p.destination, p.source), whole);
  needs_doubles = _mm256_or_si256(needs_doubles, _mm256_and_si256(_mm256_and_si256(moved, colour_lanes), partial));
  return quotient;
}

// mix_pixel on the partly transparent pixels of eight (`partial`, one
// all-ones lane per such pixel), in integers where that is exact, else in
// doubles. The alpha sum wraps as the shift drops its ninth bit.
INTRO_TARGET_AVX2 __m256i mix_partial_eight(__m256i source, __m256i destination, __m256i partial) {
  const WidePixels low{_mm256_cvtepu8_epi16(_mm256_castsi256_si128(source)),
                       _mm256_cvtepu8_epi16(_mm256_castsi256_si128(destination))};
  const WidePixels high{_mm256_cvtepu8_epi16(_mm256_extracti128_si256(source, 1)),
                        _mm256_cvtepu8_epi16(_mm256_extracti128_si256(destination, 1))};
  __m256i needs_doubles = _mm256_setzero_si256();
  const __m256i q_low =
      mix_four_in_integers(low, _mm256_cvtepi32_epi64(_mm256_castsi256_si128(partial)), needs_doubles);
  const __m256i q_high =
      mix_four_in_integers(high, _mm256_cvtepi32_epi64(_mm256_extracti128_si256(partial, 1)), needs_doubles);
  if (!_mm256_testz_si256(needs_doubles, needs_doubles)) return mix_eight(source, destination);
  // The pack interleaves the halves by 128-bit lane; the permute restores
  // the pixel order.
  const __m256i colours = _mm256_permute4x64_epi64(_mm256_packus_epi16(q_low, q_high), 0xd8);
  const __m256i alpha = _mm256_slli_epi32(_mm256_add_epi32(_mm256_srli_epi32(destination, 24), _mm256_srli_epi32(source, 24)), 24);
  return _mm256_or_si256(_mm256_and_si256(colours, _mm256_set1_epi32(0x00ffffff)), alpha);
}

// Eight pixels at a time: a group of transparent pixels costs one test, a
// group of transparent and opaque ones a blend, and only groups with partly
// transparent pixels are mixed.
INTRO_TARGET_AVX2 void mix_row(const uint32_t* source, uint32_t* destination, int count) {
  const __m256i alpha_bits = _mm256_set1_epi32(int(0xff000000u));
  int c = 0;
  for (; c + 8 <= count; c += 8) {
    const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + c));
    const __m256i alpha = _mm256_and_si256(s, alpha_bits);
    const __m256i transparent = _mm256_cmpeq_epi32(alpha, _mm256_setzero_si256());
    if (_mm256_movemask_epi8(transparent) == -1) continue;
    const __m256i opaque = _mm256_cmpeq_epi32(alpha, alpha_bits);
    __m256i* out = reinterpret_cast<__m256i*>(destination + c);
    const __m256i d = _mm256_loadu_si256(out);
    const __m256i whole = _mm256_or_si256(transparent, opaque);
    const bool all_whole = _mm256_movemask_epi8(whole) == -1;
    const __m256i mixed = all_whole ? d : mix_partial_eight(s, d, _mm256_xor_si256(whole, _mm256_set1_epi32(-1)));
    _mm256_storeu_si256(out, _mm256_blendv_epi8(_mm256_blendv_epi8(mixed, s, opaque), d, transparent));
  }
  leave_avx_state();
  mix_row_plain(source + c, destination + c, count - c);
}

INTRO_TARGET_AVX2 void darken_row(uint32_t* line, int count) {
  const __m256i kept = _mm256_set1_epi32(int(0xff000000u));
  const __m256i quartered = _mm256_set1_epi32(0x003f3f00);
  const __m256i halved = _mm256_set1_epi32(0x7f);
  int c = 0;
  for (; c + 8 <= count; c += 8) {
    __m256i* at = reinterpret_cast<__m256i*>(line + c);
    const __m256i p = _mm256_loadu_si256(at);
    const __m256i darkened =
        _mm256_or_si256(_mm256_or_si256(_mm256_and_si256(p, kept), _mm256_and_si256(_mm256_srli_epi32(p, 2), quartered)),
                        _mm256_and_si256(_mm256_srli_epi32(p, 1), halved));
    _mm256_storeu_si256(at, darkened);
  }
  leave_avx_state();
  darken_row_plain(line + c, count - c);
}

}  // namespace

const MixRow mix_row_avx2 = mix_row;
const DarkenRow darken_row_avx2 = darken_row;
#else
const MixRow mix_row_avx2 = nullptr;
const DarkenRow darken_row_avx2 = nullptr;
#endif
