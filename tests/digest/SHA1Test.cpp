// The digest through its public operations, once with each kernel the CPU
// runs. Expected texts come from an independent SHA-1 (Python's hashlib).

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <random>
#include <string>
#include <utility>

#include "digest/SHA1.h"
#include "digest/SHA1Kernels.h"

namespace kelvane {

// Test names and failure messages show a kernel by its name.
void PrintTo(const TSHA1Kernel& kernel, std::ostream* out) {
  *out << kernel.Name;
}

namespace {

std::string RandomBytes(std::size_t length, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(length, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

TEST(SHA1KernelsTest, PortableFirstAndTheFastestInUse) {
  const auto kernels = SHA1Kernels();
  EXPECT_EQ(kernels.front().Compress, &SHA1CompressPortable);
  const SHA1CompressFn inUse = SetSHA1Compress(SHA1CompressPortable);
  EXPECT_EQ(inUse, kernels.back().Compress);
  EXPECT_EQ(SetSHA1Compress(nullptr), &SHA1CompressPortable);  // nullptr restores the choice
  EXPECT_EQ(SetSHA1Compress(inUse), inUse);
}

class SHA1KernelTest : public testing::TestWithParam<TSHA1Kernel> {
 protected:
  void SetUp() override { Previous = SetSHA1Compress(GetParam().Compress); }
  void TearDown() override { SetSHA1Compress(Previous); }
  SHA1CompressFn Previous = nullptr;
};

TEST_P(SHA1KernelTest, KnownDigests) {
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

TEST_P(SHA1KernelTest, EveryLengthUpTo300) {
  // All 301 digests, joined, are digested once more and checked as a whole.
  std::string joined;
  for (std::size_t length = 0; length <= 300; ++length) {
    std::string message(length, '\0');
    for (std::size_t i = 0; i < length; ++i) message[i] = static_cast<char>(((i * 167 + 13) >> 1));
    joined += SHA1DigestHex(message);
  }
  EXPECT_EQ(joined.size(), 301u * 40);
  EXPECT_EQ(joined.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  EXPECT_EQ(SHA1DigestHex(joined), "576CE59BF5F6309C6D65DB2CA573CF902F468B47");
}

TEST_P(SHA1KernelTest, LargeMessagesAgreeWithThePortableKernel) {
  for (const std::size_t length : {1000u, 4113u, (3u << 20) + 5}) {
    const std::string message = RandomBytes(length, static_cast<unsigned>(length));
    const std::string digest = SHA1DigestHex(message);
    SetSHA1Compress(SHA1CompressPortable);
    EXPECT_EQ(digest, SHA1DigestHex(message)) << length;
    SetSHA1Compress(GetParam().Compress);
  }
}

TEST_P(SHA1KernelTest, PiecesGiveTheOneShotDigest) {
  // Pieces of every size up to two blocks, so that whole blocks are also
  // compressed from odd addresses; taking the digest midway changes nothing.
  const std::string message = RandomBytes(1000, 7);
  for (std::size_t piece = 1; piece <= 130; ++piece) {
    TSHA1Context context;
    context.Update(nullptr, 0);
    for (std::size_t at = 0; at < message.size(); at += piece) {
      context.Update(message.data() + at, std::min(piece, message.size() - at));
      if (at == 500) context.DigestHex();
    }
    ASSERT_EQ(context.DigestHex(), SHA1DigestHex(message)) << piece;
  }
}

INSTANTIATE_TEST_SUITE_P(Kernels, SHA1KernelTest,
                         testing::ValuesIn(SHA1Kernels().begin(), SHA1Kernels().end()),
                         [](const testing::TestParamInfo<TSHA1Kernel>& kernel) {
                           std::string name(kernel.param.Name);
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

}  // namespace
}  // namespace kelvane
