#include "digest/SHA.h"

#include "digest/Kernels.h"

namespace kelvane {

TSHA256Context::TSHA256Context()
    : TBlockDigest(SHA256Kernels(), {0x6A09E667u, 0xBB67AE85u, 0x3C6EF372u, 0xA54FF53Au,
                                     0x510E527Fu, 0x9B05688Cu, 0x1F83D9ABu, 0x5BE0CD19u}) {}

std::string SHA256DigestHex(std::string_view message) {
  TSHA256Context context;
  context.Update(message.data(), message.size());
  return context.DigestHex();
}

}  // namespace kelvane
