// The kernels against each other at the level of whole blocks, from chaining
// words that no message would start from.

#include "digest/sha1_kernels.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <vector>

namespace kelvane {
namespace {

using TState = std::array<std::uint32_t, 5>;

TEST(SHA1Kernels, PortableFirstAndTheFastestInUse) {
  const auto kernels = SHA1Kernels();
  ASSERT_FALSE(kernels.empty());
  EXPECT_EQ(kernels.front().Name, "portable");
  EXPECT_EQ(kernels.front().Compress, &SHA1CompressPortable);
  const SHA1CompressFn inUse = SetSHA1Compress(SHA1CompressPortable);
  EXPECT_EQ(inUse, kernels.back().Compress);
  // nullptr puts the chosen kernel back.
  EXPECT_EQ(SetSHA1Compress(nullptr), &SHA1CompressPortable);
  EXPECT_EQ(SetSHA1Compress(inUse), inUse);
}

TEST(SHA1Kernels, EveryKernelMatchesThePortableOne) {
  std::mt19937 random(42);
  std::vector<std::uint8_t> blocks(64 * 1000);
  for (std::uint8_t& byte : blocks) byte = static_cast<std::uint8_t>(random());
  TState start;
  for (std::uint32_t& word : start) word = random();

  for (const TSHA1Kernel& kernel : SHA1Kernels()) {
    for (const std::size_t count : {0u, 1u, 2u, 3u, 7u, 1000u}) {
      TState expected = start;
      TState actual = start;
      SHA1CompressPortable(expected.data(), blocks.data(), count);
      kernel.Compress(actual.data(), blocks.data(), count);
      EXPECT_EQ(actual, expected) << kernel.Name << ", " << count << " blocks";
    }
    // One block at a time from an odd address chains like all blocks at once.
    std::vector<std::uint8_t> shifted(blocks.begin(), blocks.begin() + 64 * 9);
    shifted.insert(shifted.begin(), 0);
    TState whole = start;
    TState stepwise = start;
    SHA1CompressPortable(whole.data(), blocks.data(), 9);
    for (int i = 0; i < 9; ++i) kernel.Compress(stepwise.data(), shifted.data() + 1 + 64 * i, 1);
    EXPECT_EQ(stepwise, whole) << kernel.Name;
  }
}

}  // namespace
}  // namespace kelvane
