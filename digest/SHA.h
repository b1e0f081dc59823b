#pragma once

#include <string>
#include <string_view>

#include "digest/BlockDigest.h"

namespace kelvane {

// The SHA-1 (FIPS 180-1) and SHA-256 (FIPS 180-4) digests. The one-shot
// functions give the digest of the whole message as upper-case hexadecimal
// digits (40 for SHA-1, 64 for SHA-256) and never raise except for exhausted
// memory. The contexts take bytes in any pieces and give the same digits as
// often as wanted; each starts from its algorithm's initial values.
std::string SHA1DigestHex(std::string_view message);
std::string SHA256DigestHex(std::string_view message);

class TSHA1Context : public TBlockDigest {
 public:
  TSHA1Context();
};

class TSHA256Context : public TBlockDigest {
 public:
  TSHA256Context();
};

// Appends the bytes to both digests, as sha1.Update and sha256.Update would;
// where both have taken the same number of bytes so far (two digests of one
// message), the CPU compresses the two side by side, faster. Never raises.
void UpdateTogether(TSHA1Context& sha1, TSHA256Context& sha256, const void* data,
                    std::size_t length);

}  // namespace kelvane
