#pragma once

// Reading message words for the portable kernels.

#include <bit>
#include <cstdint>
#include <cstring>

namespace kelvane {

// The 32-bit big-endian word at `bytes`, which need not be aligned.
[[gnu::always_inline]] inline std::uint32_t LoadBigEndian(const std::uint8_t* bytes) {
  std::uint32_t word;
  std::memcpy(&word, bytes, sizeof word);
  if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap32(word);
  return word;
}

}  // namespace kelvane
