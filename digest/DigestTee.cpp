#include "digest/DigestTee.h"

namespace kelvane {

TDigestTee::TDigestTee(std::initializer_list<TBlockDigest*> digests) : Digests(digests) {}

void TDigestTee::Update(const void* data, std::size_t length) {
  for (TBlockDigest* digest : Digests) digest->Update(data, length);
}

}  // namespace kelvane
