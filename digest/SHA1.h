#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelvane {

// The SHA-1 digest (FIPS 180-1) of the whole message, as 40 hexadecimal
// digits with upper-case letters. Never raises except for exhausted memory.
std::string SHA1DigestHex(std::string_view message);

// Incremental SHA-1: feed bytes in any pieces, then take the digest once.
// Holds no more than one partial block of its own, so a message of any size
// is digested as it is read, without a buffer for the whole of it.
class TSHA1Context {
 public:
  TSHA1Context();  // starts from the initial values

  // Appends `length` bytes at `data` to the message; the caller keeps
  // ownership and `data` may be null when `length` is 0. Never raises.
  void Update(const void* data, std::size_t length);

  // Pads, finishes and returns the digest of everything fed so far as 40
  // upper-case hexadecimal digits. The context itself is left as it was, so a
  // second call gives the same text. Raises only for exhausted memory.
  std::string DigestHex();

 private:
  std::uint32_t State[5];
  std::uint8_t Pending[64];  // the bytes of the current partial block
  std::uint64_t Length;      // bytes fed so far, modulo 2^64
};

}  // namespace kelvane
