#include "digest/SHA1.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "digest/SHA1Kernels.h"

namespace kelvane {

namespace {

constexpr std::size_t kBlockSize = 64;

void SHA1Init(std::uint32_t state[5]) {
  state[0] = 0x67452301u;
  state[1] = 0xEFCDAB89u;
  state[2] = 0x98BADCFEu;
  state[3] = 0x10325476u;
  state[4] = 0xC3D2E1F0u;
}

// The last one or two blocks of the padded message.
struct TFinalBlocks {
  std::array<std::uint8_t, 2 * kBlockSize> Bytes{};
  std::size_t Count = 0;
};

// Pads the tail of a message of `length` bytes: `tail` holds its last
// length mod 64 bytes, the ones that do not fill a whole block. The message
// is followed by 0x80, zeros up to eight bytes short of a block boundary and
// the bit count as a 64-bit big-endian number; when the 0x80 falls into the
// last eight bytes of a block, a whole block of zeros comes first.
TFinalBlocks SHA1Pad(const std::uint8_t* tail, std::uint64_t length) {
  const std::size_t tailLength = static_cast<std::size_t>(length % kBlockSize);
  TFinalBlocks last;
  std::copy_n(tail, tailLength, last.Bytes.begin());
  last.Bytes[tailLength] = 0x80;
  last.Count = tailLength >= kBlockSize - 8 ? 2 : 1;
  const std::uint64_t bits = length * 8;
  std::uint8_t* end = last.Bytes.data() + last.Count * kBlockSize;
  for (int i = 1; i <= 8; ++i) end[-i] = static_cast<std::uint8_t>(bits >> (8 * (i - 1)));
  return last;
}

// H0..H4 as eight digits each, most significant nibble first.
std::string RenderHex(const std::uint32_t state[5]) {
  std::string text(40, '0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned shift = 28 - 4 * static_cast<unsigned>(i % 8);
    const unsigned nibble = (state[i / 8] >> shift) & 0xFu;
    text[i] = static_cast<char>(nibble < 10 ? '0' + nibble : 'A' + (nibble - 10));
  }
  return text;
}

}  // namespace

TSHA1Context::TSHA1Context() : Pending{}, Length(0) {
  SHA1Init(State);
}

void TSHA1Context::Update(const void* data, std::size_t length) {
  if (length == 0) return;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  const std::size_t used = static_cast<std::size_t>(Length % kBlockSize);
  Length += length;
  if (used != 0) {
    const std::size_t take = std::min(kBlockSize - used, length);
    std::memcpy(Pending + used, bytes, take);
    if (used + take < kBlockSize) return;
    SHA1Compress(State, Pending, 1);
    bytes += take;
    length -= take;
  }
  // Whole blocks are compressed where the caller holds them.
  const std::size_t blocks = length / kBlockSize;
  if (blocks != 0) SHA1Compress(State, bytes, blocks);
  const std::size_t rest = length % kBlockSize;
  if (rest != 0) std::memcpy(Pending, bytes + blocks * kBlockSize, rest);
}

std::string TSHA1Context::DigestHex() {
  std::uint32_t state[5];
  std::copy_n(State, 5, state);
  const TFinalBlocks last = SHA1Pad(Pending, Length);
  SHA1Compress(state, last.Bytes.data(), last.Count);
  return RenderHex(state);
}

std::string SHA1DigestHex(std::string_view message) {
  TSHA1Context context;
  context.Update(message.data(), message.size());
  return context.DigestHex();
}

}  // namespace kelvane
