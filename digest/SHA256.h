#pragma once

#include <string>
#include <string_view>

#include "digest/BlockDigest.h"

namespace kelvane {

// The SHA-256 digest (FIPS 180-4) of the whole message, as 64 hexadecimal
// digits with upper-case letters. Never raises except for exhausted memory.
std::string SHA256DigestHex(std::string_view message);

// Incremental SHA-256: feed bytes in any pieces, then take the digest, 64
// upper-case hexadecimal digits, as often as wanted.
class TSHA256Context : public TBlockDigest {
 public:
  TSHA256Context();  // starts from the initial values
};

}  // namespace kelvane
