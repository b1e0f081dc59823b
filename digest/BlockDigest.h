#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>

namespace kelvane {

class TKernelChoice;
class TSHA1Context;
class TSHA256Context;

// What SHA-1 and SHA-256 share: a message is fed in pieces of any size,
// compressed 64 bytes at a time into 32-bit chaining words, padded the same
// way and rendered as hexadecimal digits. Holds no more than one partial block
// of its own, so a message of any size is digested as it is read, without a
// buffer for the whole of it. The digests themselves (TSHA1Context,
// TSHA256Context) only name their initial words and their kernels.
class TBlockDigest {
 public:
  // Appends `length` bytes at `data` to the message; the caller keeps
  // ownership and `data` may be null when `length` is 0. Never raises.
  void Update(const void* data, std::size_t length);

  // Pads, finishes and returns the digest of everything fed so far as eight
  // upper-case hexadecimal digits a chaining word. The context itself is left
  // as it was, so a second call gives the same text. Raises only for
  // exhausted memory.
  std::string DigestHex() const;

 protected:
  friend void UpdateTogether(TSHA1Context& sha1, TSHA256Context& sha256, const void* data,
                             std::size_t length);

  // Starts from `initial`, at most eight words, compressing with the kernel
  // `kernels` has in use at each call.
  TBlockDigest(const TKernelChoice& kernels, std::initializer_list<std::uint32_t> initial);

 private:
  static constexpr std::size_t kBlockSize = 64;
  const TKernelChoice* Kernels;
  std::size_t Words;                 // chaining words in use
  std::uint32_t State[8];            // H0 first
  std::uint8_t Pending[kBlockSize];  // the bytes of the current partial block
  std::uint64_t Length = 0;          // bytes fed so far, modulo 2^64
};

}  // namespace kelvane
