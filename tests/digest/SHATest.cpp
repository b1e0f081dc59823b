// SHA-1 and SHA-256 through their public operations, once with each kernel the CPU runs.

#include <gtest/gtest.h>

#include <string>

#include "digest/SHA.h"
#include "tests/digest/DigestTestSupport.h"

namespace kelvane {
namespace {

class SHATest : public testing::DigestKernelTest {};

// FIPS 180's samples "abc" and a million "a", and the joined digests of the messages of every
// length from 0 to 300, which cross each padding boundary (byte i is (i * 167 + 13) / 2 mod 256).
// The expected digests are OpenSSL's, through Python's hashlib.
TEST_P(SHATest, KnownDigests) {
  const auto digestHex = GetParam().DigestHex;
  const bool sha1 = digestHex == &SHA1DigestHex;
  std::string joined, message;
  for (std::size_t length = 0; length <= 300; message += char((length++ * 167 + 13) >> 1))
    joined += digestHex(message);
  EXPECT_EQ(digestHex("abc"),
            sha1 ? "A9993E364706816ABA3E25717850C26C9CD0D89D"
                 : "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
  EXPECT_EQ(digestHex(std::string(1000000, 'a')),
            sha1 ? "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F"
                 : "CDC76E5C9914FB9281A1C7E284D73E67F1809A48A497200E046D39CCC7112CD0");
  EXPECT_EQ(digestHex(joined),
            sha1 ? "576CE59BF5F6309C6D65DB2CA573CF902F468B47"
                 : "73FBFCC5B45726F0F230412AEAE247F55FA692823C13139C774365C2DAC3B63A");
}

INSTANTIATE_TEST_SUITE_P(Kernels, SHATest, ::testing::ValuesIn(testing::DigestKernels()),
                         testing::KernelName);

}  // namespace
}  // namespace kelvane
