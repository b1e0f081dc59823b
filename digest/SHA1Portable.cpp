// The portable SHA-1 kernel. The eighty steps are unrolled at compile time,
// the five working words rotate their names instead of their values, and the
// message schedule lives in a sixteen-word ring, so each step is a handful of
// register operations.

#include <bit>
#include <utility>

#include "digest/BigEndian.h"
#include "digest/Kernels.h"

namespace kelvane {

namespace {

constexpr std::uint32_t RotateLeft(std::uint32_t value, int count) {
  return std::rotl(value, count);
}

// Word t of the message schedule. Words 16..79 are computed in place of the
// word sixteen steps back, which nothing needs any more.
template <int T>
[[gnu::always_inline]] inline std::uint32_t ScheduleWord(std::uint32_t (&w)[16]) {
  if constexpr (T < 16) {
    return w[T];
  } else {
    const std::uint32_t word =
        RotateLeft(w[(T - 3) & 15] ^ w[(T - 8) & 15] ^ w[(T - 14) & 15] ^ w[(T - 16) & 15], 1);
    w[T & 15] = word;
    return word;
  }
}

// Step t: the new A is left in `e` and the rotated B in `b`; the caller
// renames the words for the next step.
template <int T>
[[gnu::always_inline]] inline void Step(std::uint32_t a, std::uint32_t& b, std::uint32_t c,
                                        std::uint32_t d, std::uint32_t& e, std::uint32_t (&w)[16]) {
  std::uint32_t f;
  std::uint32_t k;
  if constexpr (T < 20) {
    f = d ^ (b & (c ^ d));  // choice
    k = 0x5A827999u;
  } else if constexpr (T < 40) {
    f = b ^ c ^ d;  // parity
    k = 0x6ED9EBA1u;
  } else if constexpr (T < 60) {
    f = (b & c) + (d & (b ^ c));  // majority; the two terms never share a bit
    k = 0x8F1BBCDCu;
  } else {
    f = b ^ c ^ d;  // parity
    k = 0xCA62C1D6u;
  }
  // The terms that do not wait for A go first, so only the last addition
  // lies on the chain from one step to the next.
  e += ScheduleWord<T>(w) + k;
  e += f;
  e += RotateLeft(a, 5);
  b = RotateLeft(b, 30);
}

template <int T>
[[gnu::always_inline]] inline void FiveSteps(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c,
                                             std::uint32_t& d, std::uint32_t& e,
                                             std::uint32_t (&w)[16]) {
  Step<T>(a, b, c, d, e, w);
  Step<T + 1>(e, a, b, c, d, w);
  Step<T + 2>(d, e, a, b, c, w);
  Step<T + 3>(c, d, e, a, b, w);
  Step<T + 4>(b, c, d, e, a, w);
}

template <int... Group>
[[gnu::always_inline]] inline void EightySteps(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c,
                                               std::uint32_t& d, std::uint32_t& e,
                                               std::uint32_t (&w)[16],
                                               std::integer_sequence<int, Group...>) {
  (FiveSteps<Group * 5>(a, b, c, d, e, w), ...);
}

// The compression function of FIPS 180-1 for one block.
[[gnu::always_inline]] inline void SHA1Transform(std::uint32_t state[5],
                                                 const std::uint8_t* block) {
  std::uint32_t w[16];
  for (int t = 0; t < 16; ++t) w[t] = LoadBigEndian(block + 4 * t);
  std::uint32_t a = state[0];
  std::uint32_t b = state[1];
  std::uint32_t c = state[2];
  std::uint32_t d = state[3];
  std::uint32_t e = state[4];
  EightySteps(a, b, c, d, e, w, std::make_integer_sequence<int, 16>());
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
  state[4] += e;
}

}  // namespace

void SHA1CompressPortable(std::uint32_t state[5], const std::uint8_t* blocks, std::size_t count) {
  // A local copy: the blocks are bytes, which may alias anything, so working
  // on `state` itself would make every store to it look like a change to them.
  std::uint32_t h[5] = {state[0], state[1], state[2], state[3], state[4]};
  for (; count != 0; --count, blocks += 64) SHA1Transform(h, blocks);
  for (int i = 0; i < 5; ++i) state[i] = h[i];
}

}  // namespace kelvane
