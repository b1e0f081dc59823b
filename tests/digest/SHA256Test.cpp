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
  std::string all(256, '\0');
  for (int i = 0; i < 256; ++i) all[i] = static_cast<char>(i);
  // The sample messages of FIPS 180-4, every byte value, and a zero byte
  // within; the padding boundaries are among the lengths below.
  const std::pair<std::string, const char*> rows[] = {
      {"", "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855"},
      {"abc", "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248D6A61D20638B8E5C026930C3E6039A33CE45964FF2167F6ECEDD419DB06C1"},
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlm"
       "nopqrsmnopqrstnopqrstu",
       "CF5B16A778AF8380036CE59E7B0492370B249B11E8F07A51AFAC45037AFEE9D1"},
      {std::string(1000000, 'a'),
       "CDC76E5C9914FB9281A1C7E284D73E67F1809A48A497200E046D39CCC7112CD0"},
      {all, "40AFF2E9D2D8922E47AFD4648E6967497158785FBD1DA870E7110266BF944880"},
      {std::string("a\0b", 3), "59B271AE1BBCB1D31D41929817F4B16FB439EB4F31520B5AD1D5CE98920A7138"}};
  for (const auto& [message, digest] : rows) {
    EXPECT_EQ(SHA256DigestHex(message), digest) << message.size() << " bytes";
  }
}

TEST_P(SHA256Test, EveryLengthUpTo300) {
  const std::string joined = testing::EveryLengthUpTo300(SHA256DigestHex);
  EXPECT_EQ(joined.size(), 301u * 64);
  EXPECT_EQ(joined.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  EXPECT_EQ(SHA256DigestHex(joined),
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
