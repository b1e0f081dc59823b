#pragma once

#include <string>
#include <string_view>

#include "digest/BlockDigest.h"

namespace kelvane {

// The SHA-1 digest (FIPS 180-1) of the whole message, as 40 hexadecimal
// digits with upper-case letters. Never raises except for exhausted memory.
std::string SHA1DigestHex(std::string_view message);

// Incremental SHA-1: feed bytes in any pieces, then take the digest, 40
// upper-case hexadecimal digits, as often as wanted.
class TSHA1Context : public TBlockDigest {
 public:
  TSHA1Context();  // starts from the initial values
};

}  // namespace kelvane
