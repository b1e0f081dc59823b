// The kernels for the x86 SHA extensions: SHA-1, SHA-256, and the two over
// the same blocks at once. This file alone is compiled with -msha -mssse3
// -msse4.1, and it is only reached after the CPU has been checked for them;
// it includes nothing that could leave an inline function compiled with those
// instructions behind for other files to pick up.

#include <immintrin.h>

#include <utility>

#include "digest/Kernels.h"
#include "digest/SHA256Constants.h"

namespace kelvane {

namespace {

namespace sha1 {

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

// The chaining words as the instructions keep them: lane 3 of abcd holds A,
// lane 0 D; E rides in lane 3 of its own register.
struct TChain {
  __m128i abcd;
  __m128i e0;
};

[[gnu::always_inline]] inline TChain Load(const std::uint32_t state[5]) {
  return {_mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B),
          _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0)};
}

[[gnu::always_inline]] inline void Store(const TChain& chain, std::uint32_t state[5]) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(chain.abcd, 0x1B));
  state[4] = static_cast<std::uint32_t>(_mm_extract_epi32(chain.e0, 3));
}

[[gnu::always_inline]] inline void Compress(TChain& chain, const std::uint8_t* block) {
  const __m128i byteSwap = _mm_set_epi64x(0x0001020304050607LL, 0x08090A0B0C0D0E0FLL);
  __m128i& abcd = chain.abcd;
  __m128i& e0 = chain.e0;
    const __m128i abcdSaved = abcd;
    const __m128i eSaved = e0;
    const auto* words = reinterpret_cast<const __m128i*>(block);
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

}  // namespace sha1

namespace sha256 {

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

// The chaining words as the instructions keep them: ABEF and CDGH, A and C in
// lane 3.
struct TChain {
  __m128i abef;
  __m128i cdgh;
};

[[gnu::always_inline]] inline TChain Load(const std::uint32_t state[8]) {
  const __m128i cdab =
      _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0xB1);
  const __m128i efgh =
      _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4)), 0x1B);
  return {_mm_alignr_epi8(cdab, efgh, 8), _mm_blend_epi16(efgh, cdab, 0xF0)};
}

[[gnu::always_inline]] inline void Store(const TChain& chain, std::uint32_t state[8]) {
  const __m128i feba = _mm_shuffle_epi32(chain.abef, 0x1B);
  const __m128i dchg = _mm_shuffle_epi32(chain.cdgh, 0xB1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}

[[gnu::always_inline]] inline void Compress(TChain& chain, const std::uint8_t* block) {
  const __m128i byteSwap = _mm_set_epi64x(0x0C0D0E0F08090A0BLL, 0x0405060700010203LL);
  const __m128i abefSaved = chain.abef;
  const __m128i cdghSaved = chain.cdgh;
  const auto* words = reinterpret_cast<const __m128i*>(block);
  __m128i m[4];
  for (int i = 0; i < 4; ++i) m[i] = _mm_shuffle_epi8(_mm_loadu_si128(words + i), byteSwap);
  SixtyFourRounds(chain.abef, chain.cdgh, m, std::make_integer_sequence<int, 16>());
  chain.abef = _mm_add_epi32(chain.abef, abefSaved);
  chain.cdgh = _mm_add_epi32(chain.cdgh, cdghSaved);
}

}  // namespace sha256

}  // namespace

void SHA1CompressShaNi(std::uint32_t state[5], const std::uint8_t* blocks, std::size_t count) {
  sha1::TChain chain = sha1::Load(state);
  for (; count != 0; --count, blocks += 64) sha1::Compress(chain, blocks);
  sha1::Store(chain, state);
}

void SHA256CompressShaNi(std::uint32_t state[8], const std::uint8_t* blocks, std::size_t count) {
  sha256::TChain chain = sha256::Load(state);
  for (; count != 0; --count, blocks += 64) sha256::Compress(chain, blocks);
  sha256::Store(chain, state);
}

// Each block goes to both digests before the next: neither chain waits for the
// other, so the core runs the two side by side, in well under the time of one
// after the other.
void SHA1AndSHA256CompressShaNi(std::uint32_t sha1State[5], std::uint32_t sha256State[8],
                                const std::uint8_t* blocks, std::size_t count) {
  sha1::TChain chain1 = sha1::Load(sha1State);
  sha256::TChain chain256 = sha256::Load(sha256State);
  for (; count != 0; --count, blocks += 64) {
    sha1::Compress(chain1, blocks);
    sha256::Compress(chain256, blocks);
  }
  sha1::Store(chain1, sha1State);
  sha256::Store(chain256, sha256State);
}

}  // namespace kelvane
