#pragma once

#include <cstddef>
#include <initializer_list>
#include <vector>

#include "digest/BlockDigest.h"

namespace kelvane {

// Feeds one message to several digests at once, so that bytes read once give
// each of them: the SHA-1 and the SHA-256 of one info range in one pass.
class TDigestTee {
 public:
  // The digests stay the caller's and must outlive the tee; each may already
  // hold bytes of its own. Raises only for exhausted memory.
  explicit TDigestTee(std::initializer_list<TBlockDigest*> digests);

  // Appends the bytes to every digest, in the order given. Never raises.
  void Update(const void* data, std::size_t length);

 private:
  std::vector<TBlockDigest*> Digests;
};

}  // namespace kelvane
