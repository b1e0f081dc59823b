// What SHA-1 and SHA-256 share: the kernel in use, and feeding in pieces, once with each kernel of
// each digest.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "tests/digest/DigestTestSupport.h"

namespace kelvane {
namespace {

// The choice is read from the CPU's feature words alone, forced here: the SHA extensions kernels
// need SHA (leaf 7 EBX bit 29), SSSE3 and SSE4.1 (leaf 1 ECX bits 9 and 19), each of them.
TEST(BlockDigestTest, ChoosesByTheFeatureBitsTheKernelsNeed) {
  constexpr std::uint32_t kAll = ~0u, kSsse3 = 1u << 9, kSse41 = 1u << 19, kSha = 1u << 29;
  const struct {
    TCpuFeatures Features;
    bool RunsShaNi;
  } rows[] = {{{kSsse3 | kSse41, kSha}, true},  {{kAll, kAll}, true},
              {{kAll & ~kSsse3, kAll}, false},  {{kAll & ~kSse41, kAll}, false},
              {{kAll, kAll & ~kSha}, false},    {{kSsse3 | kSse41, 0}, false},
              {{kSha, kSsse3 | kSse41}, false}, {{}, false}};
  // Whether the build has kernels beside the portable ones at all.
  const bool built = MakeSHA1Kernels({kAll, kAll}).Available().size() == 2;
  for (const auto& [features, runs] : rows) {
    EXPECT_EQ(RunsShaNi(features), runs) << features.Leaf1Ecx << " " << features.Leaf7Ebx;
    for (const TKernelChoice& choice : {MakeSHA1Kernels(features), MakeSHA256Kernels(features)}) {
      const auto kernels = choice.Available();
      ASSERT_EQ(kernels.size(), runs && built ? 2u : 1u);
      EXPECT_EQ(kernels.back().Name, runs && built ? "sha-ni" : "portable");
    }
  }
  EXPECT_EQ(SHA1Kernels().Available().size(), MakeSHA1Kernels(CpuFeatures()).Available().size());
  EXPECT_EQ(SHA256Kernels().Available().size(),
            MakeSHA256Kernels(CpuFeatures()).Available().size());
}

TEST(BlockDigestTest, PortableFirstAndTheFastestInUse) {
  for (TKernelChoice* choice : {&SHA1Kernels(), &SHA256Kernels()}) {
    const auto kernels = choice->Available();
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

// From any chaining words, over any number of blocks, each kernel gives what the portable one
// gives.
TEST_P(BlockDigestKernelTest, CompressesAsThePortableKernelDoes) {
  const std::string bytes = testing::PatternBytes(64 * 40);
  const auto* blocks = reinterpret_cast<const std::uint8_t*>(bytes.data());
  const TCompressFn portable = GetParam().Choice->Available().front().Compress;
  for (const std::size_t count : {1, 2, 3, 17, 40}) {
    std::array<std::uint32_t, 8> state, want;
    for (std::size_t i = 0; i < state.size(); ++i) state[i] = want[i] = 0x9e3779b9u * (i + count);
    GetParam().Compress(state.data(), blocks, count);
    portable(want.data(), blocks, count);
    EXPECT_EQ(state, want) << count;
  }
}

INSTANTIATE_TEST_SUITE_P(Kernels, BlockDigestKernelTest,
                         ::testing::ValuesIn(testing::DigestKernels()), testing::KernelName);

}  // namespace
}  // namespace kelvane
