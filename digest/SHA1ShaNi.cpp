// The SHA-1 kernel for the x86 SHA extensions. This file alone is compiled
// with -msha -mssse3 -msse4.1, and it is only reached after the CPU has been
// checked for them; it includes nothing that could leave an inline function
// compiled with those instructions behind for other files to pick up.

#include <immintrin.h>

#include "digest/Kernels.h"

namespace kelvane {

namespace {

// Four steps of round `F` on message words `msg`. `e` comes in as E plus the
// words (sha1nexte's work) and `abcd` advances by four steps; `prev` is left
// with the ABCD they started from, which the next group's sha1nexte needs.
template <int F>
[[gnu::always_inline]] inline void FourSteps(__m128i& abcd, __m128i& prev, __m128i e) {
  prev = abcd;
  abcd = _mm_sha1rnds4_epu32(abcd, e, F);
}

// Message words 4g..4g+3 from the four groups before them.
[[gnu::always_inline]] inline __m128i NextWords(__m128i m4, __m128i m3, __m128i m2, __m128i m1) {
  return _mm_sha1msg2_epu32(_mm_xor_si128(_mm_sha1msg1_epu32(m4, m3), m2), m1);
}

}  // namespace

void SHA1CompressShaNi(std::uint32_t state[5], const std::uint8_t* blocks, std::size_t count) {
  // Lane 3 holds A, lane 0 D; E rides in lane 3 of its own register.
  const __m128i byteSwap = _mm_set_epi64x(0x0001020304050607LL, 0x08090A0B0C0D0E0FLL);
  __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B);
  __m128i e0 = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);

  for (; count != 0; --count, blocks += 64) {
    const __m128i abcdSaved = abcd;
    const __m128i eSaved = e0;
    const auto* words = reinterpret_cast<const __m128i*>(blocks);
    __m128i m0 = _mm_shuffle_epi8(_mm_loadu_si128(words + 0), byteSwap);
    __m128i m1 = _mm_shuffle_epi8(_mm_loadu_si128(words + 1), byteSwap);
    __m128i m2 = _mm_shuffle_epi8(_mm_loadu_si128(words + 2), byteSwap);
    __m128i m3 = _mm_shuffle_epi8(_mm_loadu_si128(words + 3), byteSwap);
    __m128i prev;

    FourSteps<0>(abcd, prev, _mm_add_epi32(e0, m0));
    FourSteps<0>(abcd, prev, _mm_sha1nexte_epu32(prev, m1));
    FourSteps<0>(abcd, prev, _mm_sha1nexte_epu32(prev, m2));
    FourSteps<0>(abcd, prev, _mm_sha1nexte_epu32(prev, m3));
    // From here on each group's words replace those sixteen words back.
    m0 = NextWords(m0, m1, m2, m3);
    FourSteps<0>(abcd, prev, _mm_sha1nexte_epu32(prev, m0));
    m1 = NextWords(m1, m2, m3, m0);
    FourSteps<1>(abcd, prev, _mm_sha1nexte_epu32(prev, m1));
    m2 = NextWords(m2, m3, m0, m1);
    FourSteps<1>(abcd, prev, _mm_sha1nexte_epu32(prev, m2));
    m3 = NextWords(m3, m0, m1, m2);
    FourSteps<1>(abcd, prev, _mm_sha1nexte_epu32(prev, m3));
    m0 = NextWords(m0, m1, m2, m3);
    FourSteps<1>(abcd, prev, _mm_sha1nexte_epu32(prev, m0));
    m1 = NextWords(m1, m2, m3, m0);
    FourSteps<1>(abcd, prev, _mm_sha1nexte_epu32(prev, m1));
    m2 = NextWords(m2, m3, m0, m1);
    FourSteps<2>(abcd, prev, _mm_sha1nexte_epu32(prev, m2));
    m3 = NextWords(m3, m0, m1, m2);
    FourSteps<2>(abcd, prev, _mm_sha1nexte_epu32(prev, m3));
    m0 = NextWords(m0, m1, m2, m3);
    FourSteps<2>(abcd, prev, _mm_sha1nexte_epu32(prev, m0));
    m1 = NextWords(m1, m2, m3, m0);
    FourSteps<2>(abcd, prev, _mm_sha1nexte_epu32(prev, m1));
    m2 = NextWords(m2, m3, m0, m1);
    FourSteps<2>(abcd, prev, _mm_sha1nexte_epu32(prev, m2));
    m3 = NextWords(m3, m0, m1, m2);
    FourSteps<3>(abcd, prev, _mm_sha1nexte_epu32(prev, m3));
    m0 = NextWords(m0, m1, m2, m3);
    FourSteps<3>(abcd, prev, _mm_sha1nexte_epu32(prev, m0));
    m1 = NextWords(m1, m2, m3, m0);
    FourSteps<3>(abcd, prev, _mm_sha1nexte_epu32(prev, m1));
    m2 = NextWords(m2, m3, m0, m1);
    FourSteps<3>(abcd, prev, _mm_sha1nexte_epu32(prev, m2));
    m3 = NextWords(m3, m0, m1, m2);
    FourSteps<3>(abcd, prev, _mm_sha1nexte_epu32(prev, m3));

    // E after eighty steps is the rotated A from four steps before the end.
    e0 = _mm_sha1nexte_epu32(prev, eSaved);
    abcd = _mm_add_epi32(abcd, abcdSaved);
  }

  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(abcd, 0x1B));
  state[4] = static_cast<std::uint32_t>(_mm_extract_epi32(e0, 3));
}

}  // namespace kelvane
