// The digest through its public operations, once with each kernel the CPU
// runs. Expected texts come from an independent SHA-1 (Python's hashlib).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <random>
#include <string>

#include "digest/sha1.h"
#include "digest/sha1_kernels.h"

namespace kelvane {

// Test names and failure messages show a kernel by its name.
void PrintTo(const TSHA1Kernel& kernel, std::ostream* out) {
  *out << kernel.Name;
}

namespace {

bool IsDigestText(const std::string& text) {
  return text.size() == 40 && std::all_of(text.begin(), text.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
         });
}

std::string RandomBytes(std::size_t length, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(length, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

class SHA1WithKernel : public testing::TestWithParam<TSHA1Kernel> {
 protected:
  void SetUp() override { Previous = SetSHA1Compress(GetParam().Compress); }
  void TearDown() override { SetSHA1Compress(Previous); }

  SHA1CompressFn Previous = nullptr;
};

TEST_P(SHA1WithKernel, PublishedSamplesInUpperCase) {
  EXPECT_EQ(SHA1DigestHex(""), "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709");
  EXPECT_EQ(SHA1DigestHex("abc"), "A9993E364706816ABA3E25717850C26C9CD0D89D");
  EXPECT_EQ(SHA1DigestHex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "84983E441C3BD26EBAAE4AA1F95129E5E54670F1");
  EXPECT_EQ(SHA1DigestHex(std::string(1000000, 'a')), "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F");
}

TEST_P(SHA1WithKernel, PaddingBoundaries) {
  // One block up to 55 bytes, two from 56 to 119, three from 120.
  EXPECT_EQ(SHA1DigestHex(std::string(55, 'a')), "C1C8BBDC22796E28C0E15163D20899B65621D65A");
  EXPECT_EQ(SHA1DigestHex(std::string(56, 'a')), "C2DB330F6083854C99D4B5BFB6E8F29F201BE699");
  EXPECT_EQ(SHA1DigestHex(std::string(63, 'a')), "03F09F5B158A7A8CDAD920BDDC29B81C18A551F5");
  // H0 is 0x0098BA82: its leading zeros are kept.
  EXPECT_EQ(SHA1DigestHex(std::string(64, 'a')), "0098BA824B5C16427BD7A1122A5A442A25EC644D");
  EXPECT_EQ(SHA1DigestHex(std::string(119, 'a')), "EE971065AAA017E0632A8CA6C77BB3BF8B1DFC56");
  EXPECT_EQ(SHA1DigestHex(std::string(120, 'a')), "F34C1488385346A55709BA056DDD08280DD4C6D6");
}

TEST_P(SHA1WithKernel, EveryLengthUpTo300) {
  // All 301 digests, joined, are digested once more and checked as a whole.
  std::string joined;
  for (std::size_t length = 0; length <= 300; ++length) {
    std::string message(length, '\0');
    for (std::size_t i = 0; i < length; ++i) message[i] = static_cast<char>(((i * 167 + 13) >> 1));
    const std::string digest = SHA1DigestHex(message);
    ASSERT_TRUE(IsDigestText(digest)) << length << ": " << digest;
    joined += digest;
  }
  EXPECT_EQ(SHA1DigestHex(joined), "576CE59BF5F6309C6D65DB2CA573CF902F468B47");
}

TEST_P(SHA1WithKernel, ZeroAndHighBytesAreOrdinaryBytes) {
  std::string all(256, '\0');
  for (int i = 0; i < 256; ++i) all[i] = static_cast<char>(i);
  EXPECT_EQ(SHA1DigestHex(all), "4916D6BDB7F78E6803698CAB32D1586EA457DFC8");
  EXPECT_EQ(SHA1DigestHex(all.substr(0x80)), "87F0C35852E65AD707F37C05FB03DC6E68AA4FBF");
  EXPECT_EQ(SHA1DigestHex(std::string("a\0b", 3)), "4A3DEC2D1F8245280855C42DB0EE4239F917FDB8");
}

TEST_P(SHA1WithKernel, LargeMessagesAgreeWithThePortableKernel) {
  for (const std::size_t length : {1000u, 2047u, 4113u, (3u << 20) + 5}) {
    const std::string message = RandomBytes(length, static_cast<unsigned>(length));
    const std::string digest = SHA1DigestHex(message);
    SetSHA1Compress(SHA1CompressPortable);
    EXPECT_EQ(digest, SHA1DigestHex(message)) << length;
    SetSHA1Compress(GetParam().Compress);
  }
}

TEST_P(SHA1WithKernel, PiecesGiveTheOneShotDigest) {
  const std::string message = RandomBytes(10000, 7);
  TSHA1Context irregular;
  const std::size_t pieces[] = {1, 63, 0, 64, 65, 127, 3, 200, 1000, 55, 9};
  std::size_t at = 0;
  for (std::size_t i = 0; at < message.size(); ++i) {
    const std::size_t n = std::min(pieces[i % std::size(pieces)], message.size() - at);
    irregular.Update(message.data() + at, n);
    at += n;
  }
  EXPECT_EQ(irregular.DigestHex(), SHA1DigestHex(message));

  // Every split of a 200-byte message into two pieces.
  const std::string_view head(message.data(), 200);
  for (std::size_t split = 0; split <= head.size(); ++split) {
    TSHA1Context context;
    context.Update(head.data(), split);
    context.Update(head.data() + split, head.size() - split);
    ASSERT_EQ(context.DigestHex(), SHA1DigestHex(head)) << split;
  }
}

TEST_P(SHA1WithKernel, UpdateZerosIsFeedingZeros) {
  const std::string zeros(300000, '\0');
  const char* text = "0123456789abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  for (const std::size_t prefix : {0u, 1u, 55u, 63u, 64u, 70u}) {
    for (const std::size_t count : {0u, 1u, 8u, 63u, 64u, 65u, 4103u, 300000u}) {
      TSHA1Context fed;
      TSHA1Context skipped;
      fed.Update(text, prefix);
      skipped.Update(text, prefix);
      fed.Update(zeros.data(), count);
      skipped.UpdateZeros(count);
      ASSERT_EQ(skipped.DigestHex(), fed.DigestHex()) << prefix << " + " << count;
    }
  }
  TSHA1Context framed;
  framed.Update("xyz", 3);
  framed.UpdateZeros(1000);
  framed.Update("pq", 2);
  EXPECT_EQ(framed.DigestHex(), "5E0CE29E16BA854C62C668699E9059FB134B1190");
  TSHA1Context many;
  many.UpdateZeros(5000000);
  EXPECT_EQ(many.DigestHex(), "95775C451ED9604D9753465D8CC4D52CA1CB58A4");
}

TEST_P(SHA1WithKernel, DigestHexLeavesTheContextAsItWas) {
  TSHA1Context context;
  EXPECT_EQ(context.DigestHex(), "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709");
  context.Update(nullptr, 0);
  context.Update("ab", 2);
  EXPECT_EQ(context.DigestHex(), context.DigestHex());
  context.Update("c", 1);
  EXPECT_EQ(context.DigestHex(), "A9993E364706816ABA3E25717850C26C9CD0D89D");
}

INSTANTIATE_TEST_SUITE_P(Kernels, SHA1WithKernel,
                         testing::ValuesIn(SHA1Kernels().begin(), SHA1Kernels().end()),
                         [](const testing::TestParamInfo<TSHA1Kernel>& kernel) {
                           std::string name(kernel.param.Name);
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

}  // namespace
}  // namespace kelvane
