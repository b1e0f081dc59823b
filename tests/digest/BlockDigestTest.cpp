// What SHA-1 and SHA-256 share: the kernel in use, and feeding in pieces, once with each kernel of
// each digest.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/digest/DigestTestSupport.h"

namespace kelvane {
namespace {

TEST(BlockDigestTest, PortableFirstAndTheFastestInUse) {
  for (TKernelChoice* choice : {&SHA1Kernels(), &SHA256Kernels()}) {
    const auto kernels = choice->Available();
    EXPECT_EQ(kernels.size(), CpuHasShaNi() ? 2u : 1u);
    const TCompressFn inUse = choice->Use(kernels.front().Compress);
    EXPECT_EQ(inUse, kernels.back().Compress);
    EXPECT_EQ(choice->Use(nullptr), kernels.front().Compress);  // nullptr restores the choice
    EXPECT_EQ(choice->Use(inUse), inUse);
  }
  EXPECT_EQ(SHA1Kernels().Available().front().Compress, &SHA1CompressPortable);
  EXPECT_EQ(SHA256Kernels().Available().front().Compress, &SHA256CompressPortable);
}

class BlockDigestKernelTest : public testing::DigestKernelTest {};

TEST_P(BlockDigestKernelTest, PiecesGiveTheOneShotDigest) {
  // Pieces of every size up to two blocks, so that whole blocks are also compressed from odd
  // addresses; taking the digest midway changes nothing.
  const std::string message = testing::PatternBytes(1000);
  TBlockDigest oneShot = GetParam().Make();
  oneShot.Update(message.data(), message.size());
  const std::string whole = oneShot.DigestHex();
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

INSTANTIATE_TEST_SUITE_P(Kernels, BlockDigestKernelTest,
                         ::testing::ValuesIn(testing::DigestKernels()), testing::KernelName);

}  // namespace
}  // namespace kelvane
