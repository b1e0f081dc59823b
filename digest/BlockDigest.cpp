#include "digest/BlockDigest.h"

#include <algorithm>
#include <cstring>

#include "digest/Kernels.h"
#include "digest/SHA.h"

namespace kelvane {

TBlockDigest::TBlockDigest(const TKernelChoice& kernels,
                           std::initializer_list<std::uint32_t> initial)
    : Kernels(&kernels), Words(initial.size()), State{}, Pending{} {
  std::copy(initial.begin(), initial.end(), State);
}

void TBlockDigest::Update(const void* data, std::size_t length) {
  if (length == 0) return;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  const std::size_t used = static_cast<std::size_t>(Length % kBlockSize);
  Length += length;
  if (used != 0) {
    const std::size_t take = std::min(kBlockSize - used, length);
    std::memcpy(Pending + used, bytes, take);
    if (used + take < kBlockSize) return;
    Kernels->Compress(State, Pending, 1);
    bytes += take;
    length -= take;
  }
  // Whole blocks are compressed where the caller holds them.
  const std::size_t blocks = length / kBlockSize;
  if (blocks != 0) Kernels->Compress(State, bytes, blocks);
  const std::size_t rest = length % kBlockSize;
  if (rest != 0) std::memcpy(Pending, bytes + blocks * kBlockSize, rest);
}

std::string TBlockDigest::DigestHex() const {
  // The message is followed by 0x80, zeros up to eight bytes short of a block
  // boundary and the bit count as a 64-bit big-endian number; when the 0x80
  // falls into the last eight bytes of a block, a whole block of zeros comes
  // first.
  const std::size_t tail = static_cast<std::size_t>(Length % kBlockSize);
  std::uint8_t last[2 * kBlockSize] = {};
  std::copy_n(Pending, tail, last);
  last[tail] = 0x80;
  const std::size_t blocks = tail >= kBlockSize - 8 ? 2 : 1;
  const std::uint64_t bits = Length * 8;
  std::uint8_t* end = last + blocks * kBlockSize;
  for (int i = 1; i <= 8; ++i) end[-i] = static_cast<std::uint8_t>(bits >> (8 * (i - 1)));

  std::uint32_t state[8];
  std::copy_n(State, Words, state);
  Kernels->Compress(state, last, blocks);

  // Each word as eight digits, most significant nibble first.
  std::string text(8 * Words, '0');
  // A table, not a comparison: digits and letters come in no order a branch
  // could predict.
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned shift = 28 - 4 * static_cast<unsigned>(i % 8);
    text[i] = kDigits[(state[i / 8] >> shift) & 0xFu];
  }
  return text;
}

void UpdateTogether(TSHA1Context& sha1, TSHA256Context& sha256, const void* data,
                    std::size_t length) {
  TBlockDigest& first = sha1;
  TBlockDigest& second = sha256;
  constexpr std::size_t kBlock = TBlockDigest::kBlockSize;
  const TPairCompressFn pair = PairKernel(*first.Kernels, *second.Kernels);
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  if (pair != nullptr && first.Length % kBlock == second.Length % kBlock) {
    // The partial block both hold is filled first, each on its own; the whole
    // blocks after it go to the pair.
    const std::size_t used = static_cast<std::size_t>(first.Length % kBlock);
    const std::size_t head = used == 0 ? 0 : std::min(kBlock - used, length);
    first.Update(bytes, head);
    second.Update(bytes, head);
    bytes += head;
    length -= head;
    const std::size_t blocks = length / kBlock;
    if (blocks != 0) {
      pair(first.State, second.State, bytes, blocks);
      first.Length += blocks * kBlock;
      second.Length += blocks * kBlock;
      bytes += blocks * kBlock;
      length -= blocks * kBlock;
    }
  }
  first.Update(bytes, length);
  second.Update(bytes, length);
}

}  // namespace kelvane
