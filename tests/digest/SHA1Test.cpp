// SHA-1 through its public operations, once with each kernel the CPU runs.
// Expected texts come from an independent SHA-1 (Python's hashlib).

#include <gtest/gtest.h>

#include <string>

#include "digest/SHA1.h"
#include "tests/digest/DigestTestSupport.h"

namespace kelvane {
namespace {

class SHA1Test : public testing::KernelTest<SHA1Kernels> {};

TEST_P(SHA1Test, KnownDigests) {
  for (const testing::TKnownAnswer& known : testing::KnownAnswers()) {
    EXPECT_EQ(SHA1DigestHex(known.Message), known.SHA1) << known.Message.size() << " bytes";
  }
}

TEST_P(SHA1Test, EveryLengthUpTo300) {
  EXPECT_EQ(SHA1DigestHex(testing::EveryLengthUpTo300(SHA1DigestHex, 40)),
            "576CE59BF5F6309C6D65DB2CA573CF902F468B47");
}

INSTANTIATE_TEST_SUITE_P(Kernels, SHA1Test, testing::EveryKernel(SHA1Kernels()),
                         testing::KernelTestName);

}  // namespace
}  // namespace kelvane
