#include "digest/SHA.h"

#include "digest/Kernels.h"

namespace kelvane {

TSHA1Context::TSHA1Context()
    : TBlockDigest(SHA1Kernels(),
                   {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u}) {}

std::string SHA1DigestHex(std::string_view message) {
  TSHA1Context context;
  context.Update(message.data(), message.size());
  return context.DigestHex();
}

}  // namespace kelvane
