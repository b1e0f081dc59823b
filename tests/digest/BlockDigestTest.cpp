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

// Both digests fed together, with every pairing of their kernels (the SHA extensions' pair kernel
// only where both use theirs), in pieces of every size about a block: the digests each gives
// alone. A SHA-1 that has taken more than the SHA-256, by a whole block or by part of one, still
// gets every byte, and so does the SHA-256.
TEST(BlockDigestTest, FeedsBothDigestsTogetherAsEachAlone) {
  const std::string message = testing::PatternBytes(64 * 45 + 7);
  const TCompressFn sha1InUse = SHA1Kernels().InUse(), sha256InUse = SHA256Kernels().InUse();
  for (const TKernel& first : SHA1Kernels().Available())
    for (const TKernel& second : SHA256Kernels().Available()) {
      SHA1Kernels().Use(first.Compress);
      SHA256Kernels().Use(second.Compress);
      const bool paired = first.Name == "sha-ni" && second.Name == "sha-ni";
      EXPECT_EQ(PairKernel(SHA1Kernels(), SHA256Kernels()) != nullptr, paired);
      for (const std::size_t ahead : {0, 5, 64})
        for (const std::size_t piece : {1, 63, 64, 65, 127, 640, 64 * 45 + 7}) {
          const std::string before = testing::PatternBytes(ahead);
          TSHA1Context sha1;
          TSHA256Context sha256;
          sha1.Update(before.data(), before.size());
          for (std::size_t at = 0; at < message.size(); at += piece)
            UpdateTogether(sha1, sha256, message.data() + at, std::min(piece, message.size() - at));
          const std::string what = std::string(first.Name) + " " + std::string(second.Name) +
                                   " ahead " + std::to_string(ahead) + " piece " +
                                   std::to_string(piece);
          EXPECT_EQ(sha1.DigestHex(), SHA1DigestHex(before + message)) << what;
          EXPECT_EQ(sha256.DigestHex(), SHA256DigestHex(message)) << what;
        }
    }
  SHA1Kernels().Use(sha1InUse);
  SHA256Kernels().Use(sha256InUse);
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
