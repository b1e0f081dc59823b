// SHA-1 through its public operations, once with each kernel the CPU runs.
// Expected texts come from an independent SHA-1 (Python's hashlib).

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "digest/SHA1.h"
#include "tests/digest/DigestTestSupport.h"

namespace kelvane {
namespace {

class SHA1Test : public testing::KernelTest<SHA1Kernels> {};

TEST_P(SHA1Test, KnownDigests) {
  std::string all(256, '\0');
  for (int i = 0; i < 256; ++i) all[i] = static_cast<char>(i);
  // The published samples, then one block up to 55 bytes, two from 56 to 119,
  // three from 120; at 64 the leading zeros of H0 = 0x0098BA82 are kept.
  const std::pair<std::string, const char*> rows[] = {
      {"", "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709"},
      {"abc", "A9993E364706816ABA3E25717850C26C9CD0D89D"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "84983E441C3BD26EBAAE4AA1F95129E5E54670F1"},
      {std::string(1000000, 'a'), "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F"},
      {std::string(55, 'a'), "C1C8BBDC22796E28C0E15163D20899B65621D65A"},
      {std::string(56, 'a'), "C2DB330F6083854C99D4B5BFB6E8F29F201BE699"},
      {std::string(63, 'a'), "03F09F5B158A7A8CDAD920BDDC29B81C18A551F5"},
      {std::string(64, 'a'), "0098BA824B5C16427BD7A1122A5A442A25EC644D"},
      {std::string(119, 'a'), "EE971065AAA017E0632A8CA6C77BB3BF8B1DFC56"},
      {std::string(120, 'a'), "F34C1488385346A55709BA056DDD08280DD4C6D6"},
      {all, "4916D6BDB7F78E6803698CAB32D1586EA457DFC8"},
      {all.substr(0x80), "87F0C35852E65AD707F37C05FB03DC6E68AA4FBF"},
      {std::string("a\0b", 3), "4A3DEC2D1F8245280855C42DB0EE4239F917FDB8"}};
  for (const auto& [message, digest] : rows) {
    EXPECT_EQ(SHA1DigestHex(message), digest) << message.size() << " bytes";
  }
}

TEST_P(SHA1Test, EveryLengthUpTo300) {
  const std::string joined = testing::EveryLengthUpTo300(SHA1DigestHex);
  EXPECT_EQ(joined.size(), 301u * 40);
  EXPECT_EQ(joined.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  EXPECT_EQ(SHA1DigestHex(joined), "576CE59BF5F6309C6D65DB2CA573CF902F468B47");
}

INSTANTIATE_TEST_SUITE_P(Kernels, SHA1Test, testing::EveryKernel(SHA1Kernels()),
                         testing::KernelTestName);

}  // namespace
}  // namespace kelvane
