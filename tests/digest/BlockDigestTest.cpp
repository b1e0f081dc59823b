// What SHA-1 and SHA-256 share (feeding, zero runs, the kernel in use), once
// with each kernel of each digest; the portable kernel is the reference.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "digest/SHA1.h"
#include "digest/SHA256.h"
#include "tests/digest/DigestTestSupport.h"

namespace kelvane {
namespace {

struct TDigestKernel {
  std::string Name;
  TKernelChoice& Choice;
  TBlockDigest (*Make)();
  TKernel Kernel;
};

void PrintTo(const TDigestKernel& param, std::ostream* out) {
  *out << param.Name;
}

std::vector<TDigestKernel> EveryDigestKernel() {
  std::vector<TDigestKernel> params;
  for (const TKernel& kernel : SHA1Kernels().Available()) {
    params.push_back({"sha1_" + std::string(kernel.Name), SHA1Kernels(),
                      []() -> TBlockDigest { return TSHA1Context(); }, kernel});
  }
  for (const TKernel& kernel : SHA256Kernels().Available()) {
    params.push_back({"sha256_" + std::string(kernel.Name), SHA256Kernels(),
                      []() -> TBlockDigest { return TSHA256Context(); }, kernel});
  }
  return params;
}

TEST(BlockDigestTest, PortableFirstAndTheFastestInUse) {
  for (TKernelChoice* choice : {&SHA1Kernels(), &SHA256Kernels()}) {
    const auto kernels = choice->Available();
    const TCompressFn inUse = choice->Use(kernels.front().Compress);
    EXPECT_EQ(inUse, kernels.back().Compress);
    EXPECT_EQ(kernels.size(), CpuHasShaNi() ? 2u : 1u);
    EXPECT_EQ(choice->Use(nullptr), kernels.front().Compress);  // nullptr restores the choice
    EXPECT_EQ(choice->Use(inUse), inUse);
  }
  EXPECT_EQ(SHA1Kernels().Available().front().Compress, &SHA1CompressPortable);
  EXPECT_EQ(SHA256Kernels().Available().front().Compress, &SHA256CompressPortable);
}

class BlockDigestKernelTest : public ::testing::TestWithParam<TDigestKernel> {
 protected:
  // The digest of `length` bytes at `data`, fed in one piece.
  std::string Digest(const char* data, std::size_t length) const {
    TBlockDigest digest = GetParam().Make();
    digest.Update(data, length);
    return digest.DigestHex();
  }
  testing::KernelInUse Kernel{GetParam().Choice, GetParam().Kernel.Compress};
};

TEST_P(BlockDigestKernelTest, AgreesWithThePortableKernel) {
  // Whole blocks straight from the caller's bytes, at odd addresses too.
  const std::string message = testing::PatternBytes((3u << 20) + 70, 11);
  for (const std::size_t length : {0u, 1u, 64u, 1000u, 4113u, 3u << 20}) {
    for (const std::size_t offset : {0u, 1u, 7u}) {
      const std::string digest = Digest(message.data() + offset, length);
      testing::KernelInUse portable(GetParam().Choice, GetParam().Choice.Available()[0].Compress);
      ASSERT_EQ(digest, Digest(message.data() + offset, length)) << length << " at " << offset;
    }
  }
}

TEST_P(BlockDigestKernelTest, PiecesGiveTheOneShotDigest) {
  // Pieces of every size up to two blocks, so that whole blocks are also
  // compressed from odd addresses; taking the digest midway changes nothing.
  const std::string message = testing::PatternBytes(1000, 7);
  const std::string whole = Digest(message.data(), message.size());
  for (std::size_t piece = 1; piece <= 130; ++piece) {
    TBlockDigest digest = GetParam().Make();
    digest.Update(nullptr, 0);
    for (std::size_t at = 0; at < message.size(); at += piece) {
      digest.Update(message.data() + at, std::min(piece, message.size() - at));
      if (at == 500) digest.DigestHex();
    }
    ASSERT_EQ(digest.DigestHex(), whole) << piece;
  }
}

INSTANTIATE_TEST_SUITE_P(Kernels, BlockDigestKernelTest, ::testing::ValuesIn(EveryDigestKernel()),
                         [](const ::testing::TestParamInfo<TDigestKernel>& param) {
                           return testing::TestName(param.param.Name);
                         });

}  // namespace
}  // namespace kelvane
