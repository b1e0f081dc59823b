// SHA-256 through its public operations, once with each kernel the CPU runs.
// Expected texts come from OpenSSL through Python's hashlib.

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "digest/SHA256.h"
#include "tests/digest/DigestTestSupport.h"

namespace kelvane {
namespace {

class SHA256Test : public testing::KernelTest<SHA256Kernels> {};

TEST_P(SHA256Test, KnownDigests) {
  for (const testing::TKnownAnswer& known : testing::KnownAnswers()) {
    EXPECT_EQ(SHA256DigestHex(known.Message), known.SHA256) << known.Message.size() << " bytes";
  }
}

TEST_P(SHA256Test, EveryLengthUpTo300) {
  EXPECT_EQ(SHA256DigestHex(testing::EveryLengthUpTo300(SHA256DigestHex, 64)),
            "73FBFCC5B45726F0F230412AEAE247F55FA692823C13139C774365C2DAC3B63A");
}

TEST_P(SHA256Test, LargeMessages) {
  const std::pair<std::size_t, const char*> rows[] = {
      {1000, "216DD78BE67C926C41D8F51A963C9ABBD8E618B3B6A7342B87FD572458EB4E7E"},
      {4113, "D7BA921D64FE08B063C6B005874EDDB37FEAAEF29C650688CEEE24D9D772E8F6"},
      {(3u << 20) + 5, "DEC0094EE8041A9887D192B61DBFC3C710DF6B217EF06B35C0228D4A30BDBCB2"}};
  for (const auto& [length, digest] : rows) {
    EXPECT_EQ(SHA256DigestHex(testing::PatternBytes(length, length)), digest) << length;
  }
}

INSTANTIATE_TEST_SUITE_P(Kernels, SHA256Test, testing::EveryKernel(SHA256Kernels()),
                         testing::KernelTestName);

}  // namespace
}  // namespace kelvane
