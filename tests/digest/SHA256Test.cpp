// SHA-256 through its public operations, once with each kernel the CPU runs.

#include <gtest/gtest.h>

#include "digest/SHA256.h"
#include "tests/digest/DigestTestSupport.h"

namespace kelvane {
namespace {

class SHA256Test : public testing::DigestKernelTest {};

TEST_P(SHA256Test, KnownDigests) {
  for (const testing::TKnownAnswer& known : testing::KnownAnswers())
    EXPECT_EQ(SHA256DigestHex(known.Message), known.SHA256) << known.Message.size() << " bytes";
  EXPECT_EQ(SHA256DigestHex(testing::EveryLengthUpTo300(SHA256DigestHex)),
            "73FBFCC5B45726F0F230412AEAE247F55FA692823C13139C774365C2DAC3B63A");
}

INSTANTIATE_TEST_SUITE_P(Kernels, SHA256Test, ::testing::ValuesIn(testing::DigestKernels("sha256")),
                         testing::KernelName);

}  // namespace
}  // namespace kelvane
