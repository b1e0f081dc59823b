// The SHA-256 kernel for the x86 SHA extensions. This file alone is compiled
// with -msha -mssse3 -msse4.1, and it is only reached after the CPU has been
// checked for them; it includes nothing that could leave an inline function
// compiled with those instructions behind for other files to pick up.

#include <immintrin.h>

#include <utility>

#include "digest/Kernels.h"
#include "digest/SHA256Constants.h"

namespace kelvane {

namespace {

// Rounds 4g..4g+3 on message words `words`. sha256rnds2 does two rounds and
// returns the new ABEF, so each call swaps the roles of the two registers.
template <int G>
[[gnu::always_inline]] inline void FourRounds(__m128i& abef, __m128i& cdgh, __m128i words) {
  const __m128i constants =
      _mm_load_si128(reinterpret_cast<const __m128i*>(kSHA256RoundConstants + 4 * G));
  const __m128i sums = _mm_add_epi32(words, constants);
  cdgh = _mm_sha256rnds2_epu32(cdgh, abef, sums);
  abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(sums, 0x0E));
}

// Group g of the sixteen groups of four rounds. From group 4 on, its words
// replace those of the group four back (held in m[g mod 4]): W[t-16] +
// sigma0(W[t-15]) from msg1, W[t-7] from the two groups before, sigma1(W[t-2])
// from msg2.
template <int G>
[[gnu::always_inline]] inline void Group(__m128i& abef, __m128i& cdgh, __m128i (&m)[4]) {
  if constexpr (G >= 4) {
    const __m128i back7 = _mm_alignr_epi8(m[(G + 3) & 3], m[(G + 2) & 3], 4);
    const __m128i partial = _mm_add_epi32(_mm_sha256msg1_epu32(m[G & 3], m[(G + 1) & 3]), back7);
    m[G & 3] = _mm_sha256msg2_epu32(partial, m[(G + 3) & 3]);
  }
  FourRounds<G>(abef, cdgh, m[G & 3]);
}

template <int... G>
[[gnu::always_inline]] inline void SixtyFourRounds(__m128i& abef, __m128i& cdgh, __m128i (&m)[4],
                                                   std::integer_sequence<int, G...>) {
  (Group<G>(abef, cdgh, m), ...);
}

}  // namespace

void SHA256CompressShaNi(std::uint32_t state[8], const std::uint8_t* blocks, std::size_t count) {
  const __m128i byteSwap = _mm_set_epi64x(0x0C0D0E0F08090A0BLL, 0x0405060700010203LL);
  // The instructions keep the words as ABEF and CDGH, A and C in lane 3.
  const __m128i cdab =
      _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0xB1);
  const __m128i efgh =
      _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4)), 0x1B);
  __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
  __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);

  for (; count != 0; --count, blocks += 64) {
    const __m128i abefSaved = abef;
    const __m128i cdghSaved = cdgh;
    const auto* words = reinterpret_cast<const __m128i*>(blocks);
    __m128i m[4];
    for (int i = 0; i < 4; ++i) m[i] = _mm_shuffle_epi8(_mm_loadu_si128(words + i), byteSwap);
    SixtyFourRounds(abef, cdgh, m, std::make_integer_sequence<int, 16>());
    abef = _mm_add_epi32(abef, abefSaved);
    cdgh = _mm_add_epi32(cdgh, cdghSaved);
  }

  const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
  const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}

}  // namespace kelvane
