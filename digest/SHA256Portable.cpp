// The portable SHA-256 kernel, built like the SHA-1 one: the 64 steps are
// unrolled at compile time, the eight working words rotate their names instead
// of their values, and the message schedule lives in a sixteen-word ring.

#include <bit>
#include <utility>

#include "digest/BigEndian.h"
#include "digest/Kernels.h"
#include "digest/SHA256Constants.h"

namespace kelvane {

namespace {

// The four functions of FIPS 180-4, 4.1.2.
constexpr std::uint32_t BigSigma0(std::uint32_t x) {
  return std::rotr(x, 2) ^ std::rotr(x, 13) ^ std::rotr(x, 22);
}
constexpr std::uint32_t BigSigma1(std::uint32_t x) {
  return std::rotr(x, 6) ^ std::rotr(x, 11) ^ std::rotr(x, 25);
}
constexpr std::uint32_t SmallSigma0(std::uint32_t x) {
  return std::rotr(x, 7) ^ std::rotr(x, 18) ^ (x >> 3);
}
constexpr std::uint32_t SmallSigma1(std::uint32_t x) {
  return std::rotr(x, 17) ^ std::rotr(x, 19) ^ (x >> 10);
}

// Word t of the message schedule. Words 16..63 are computed in place of the
// word sixteen steps back, which nothing needs any more.
template <int T>
[[gnu::always_inline]] inline std::uint32_t ScheduleWord(std::uint32_t (&w)[16]) {
  if constexpr (T >= 16) {
    w[T & 15] += SmallSigma1(w[(T - 2) & 15]) + w[(T - 7) & 15] + SmallSigma0(w[(T - 15) & 15]);
  }
  return w[T & 15];
}

// Step t: T1 is added into `d` (the new E) and T1 + T2 left in `h` (the new
// A); the caller renames the words for the next step.
template <int T>
[[gnu::always_inline]] inline void Step(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                        std::uint32_t& d, std::uint32_t e, std::uint32_t f,
                                        std::uint32_t g, std::uint32_t& h, std::uint32_t (&w)[16]) {
  // The terms that do not wait for the previous step go first.
  h += ScheduleWord<T>(w) + kSHA256RoundConstants[T];
  h += BigSigma1(e) + (g ^ (e & (f ^ g)));  // choice
  d += h;
  h += BigSigma0(a) + ((a & b) | (c & (a | b)));  // majority
}

template <int T>
[[gnu::always_inline]] inline void EightSteps(std::uint32_t (&v)[8], std::uint32_t (&w)[16]) {
  auto& [a, b, c, d, e, f, g, h] = v;
  Step<T>(a, b, c, d, e, f, g, h, w);
  Step<T + 1>(h, a, b, c, d, e, f, g, w);
  Step<T + 2>(g, h, a, b, c, d, e, f, w);
  Step<T + 3>(f, g, h, a, b, c, d, e, w);
  Step<T + 4>(e, f, g, h, a, b, c, d, w);
  Step<T + 5>(d, e, f, g, h, a, b, c, w);
  Step<T + 6>(c, d, e, f, g, h, a, b, w);
  Step<T + 7>(b, c, d, e, f, g, h, a, w);
}

template <int... Group>
[[gnu::always_inline]] inline void SixtyFourSteps(std::uint32_t (&v)[8], std::uint32_t (&w)[16],
                                                  std::integer_sequence<int, Group...>) {
  (EightSteps<Group * 8>(v, w), ...);
}

}  // namespace

void SHA256CompressPortable(std::uint32_t state[8], const std::uint8_t* blocks, std::size_t count) {
  // A local copy: the blocks are bytes, which may alias anything, so working
  // on `state` itself would make every store to it look like a change to them.
  std::uint32_t h[8];
  for (int i = 0; i < 8; ++i) h[i] = state[i];
  for (; count != 0; --count, blocks += 64) {
    std::uint32_t w[16];
    for (int t = 0; t < 16; ++t) w[t] = LoadBigEndian(blocks + 4 * t);
    std::uint32_t v[8];
    for (int i = 0; i < 8; ++i) v[i] = h[i];
    SixtyFourSteps(v, w, std::make_integer_sequence<int, 8>());
    for (int i = 0; i < 8; ++i) h[i] += v[i];
  }
  for (int i = 0; i < 8; ++i) state[i] = h[i];
}

}  // namespace kelvane
