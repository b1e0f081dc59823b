// SHA-1 through its public operations, once with each kernel the CPU runs.

#include <gtest/gtest.h>

#include "digest/SHA1.h"
#include "tests/digest/DigestTestSupport.h"

namespace kelvane {
namespace {

class SHA1Test : public testing::DigestKernelTest {};

TEST_P(SHA1Test, KnownDigests) {
  for (const testing::TKnownAnswer& known : testing::KnownAnswers())
    EXPECT_EQ(SHA1DigestHex(known.Message), known.SHA1) << known.Message.size() << " bytes";
  EXPECT_EQ(SHA1DigestHex(testing::EveryLengthUpTo300(SHA1DigestHex)),
            "576CE59BF5F6309C6D65DB2CA573CF902F468B47");
}

INSTANTIATE_TEST_SUITE_P(Kernels, SHA1Test, ::testing::ValuesIn(testing::DigestKernels("sha1")),
                         testing::KernelName);

}  // namespace
}  // namespace kelvane
