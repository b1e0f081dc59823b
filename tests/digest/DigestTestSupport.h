#pragma once

// Running the digests through each kernel, and messages the tests and
// Python's hashlib can both rebuild.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "digest/Kernels.h"

namespace kelvane {

// Test names and failure messages show a kernel by its name.
inline void PrintTo(const TKernel& kernel, std::ostream* out) {
  *out << kernel.Name;
}

namespace testing {

// One kernel in use for every digest of its kind while the object lives.
class KernelInUse {
 public:
  KernelInUse(TKernelChoice& choice, TCompressFn compress)
      : Choice(choice), Previous(choice.Use(compress)) {}
  ~KernelInUse() { Choice.Use(Previous); }
  KernelInUse(const KernelInUse&) = delete;
  KernelInUse& operator=(const KernelInUse&) = delete;

 private:
  TKernelChoice& Choice;
  TCompressFn Previous;
};

// A test name from a kernel or any other name: letters, digits and "_".
inline std::string TestName(std::string name) {
  std::replace_if(
      name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
  return name;
}

// A suite run once with each kernel of one digest:
//   class SHA1Test : public testing::KernelTest<SHA1Kernels> {};
//   INSTANTIATE_TEST_SUITE_P(Kernels, SHA1Test, testing::EveryKernel(SHA1Kernels()),
//                            testing::KernelTestName);
template <TKernelChoice& (*Choice)()>
class KernelTest : public ::testing::TestWithParam<TKernel> {
 protected:
  KernelInUse Kernel{Choice(), GetParam().Compress};
};

inline auto EveryKernel(const TKernelChoice& choice) {
  return ::testing::ValuesIn(choice.Available().begin(), choice.Available().end());
}

inline std::string KernelTestName(const ::testing::TestParamInfo<TKernel>& kernel) {
  return TestName(std::string(kernel.param.Name));
}

// `length` bytes from a 64-bit linear congruential generator started at
// `seed`, each the top byte of the next state: in Python,
//   x = (x * 6364136223846793005 + 1442695040888963407) % 2**64; x >> 56
inline std::string PatternBytes(std::size_t length, std::uint64_t seed) {
  std::string bytes(length, '\0');
  for (char& c : bytes) {
    seed = seed * 6364136223846793005u + 1442695040888963407u;
    c = static_cast<char>(seed >> 56);
  }
  return bytes;
}

// A message with its digests, from OpenSSL through Python's hashlib.
struct TKnownAnswer {
  std::string Message;
  const char* SHA1;
  const char* SHA256;
};

// The sample messages of FIPS 180 ("", "abc", the 448-bit and 896-bit ones, a
// million "a"), one block up to 55 bytes, two from 56 to 119 and three from
// 120 (at 64 the SHA-1 digest starts with zeros), every byte value, the high
// ones alone, and a zero byte within.
inline std::vector<TKnownAnswer> KnownAnswers() {
  std::string all(256, '\0');
  for (int i = 0; i < 256; ++i) all[i] = static_cast<char>(i);
  return {
      {"", "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709",
       "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855"},
      {"abc", "A9993E364706816ABA3E25717850C26C9CD0D89D",
       "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "84983E441C3BD26EBAAE4AA1F95129E5E54670F1",
       "248D6A61D20638B8E5C026930C3E6039A33CE45964FF2167F6ECEDD419DB06C1"},
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlm"
       "nopqrsmnopqrstnopqrstu",
       "A49B2446A02C645BF419F995B67091253A04A259",
       "CF5B16A778AF8380036CE59E7B0492370B249B11E8F07A51AFAC45037AFEE9D1"},
      {std::string(1000000, 'a'), "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F",
       "CDC76E5C9914FB9281A1C7E284D73E67F1809A48A497200E046D39CCC7112CD0"},
      {std::string(55, 'a'), "C1C8BBDC22796E28C0E15163D20899B65621D65A",
       "9F4390F8D30C2DD92EC9F095B65E2B9AE9B0A925A5258E241C9F1E910F734318"},
      {std::string(56, 'a'), "C2DB330F6083854C99D4B5BFB6E8F29F201BE699",
       "B35439A4AC6F0948B6D6F9E3C6AF0F5F590CE20F1BDE7090EF7970686EC6738A"},
      {std::string(63, 'a'), "03F09F5B158A7A8CDAD920BDDC29B81C18A551F5",
       "7D3E74A05D7DB15BCE4AD9EC0658EA98E3F06EEECF16B4C6FFF2DA457DDC2F34"},
      {std::string(64, 'a'), "0098BA824B5C16427BD7A1122A5A442A25EC644D",
       "FFE054FE7AE0CB6DC65C3AF9B61D5209F439851DB43D0BA5997337DF154668EB"},
      {std::string(119, 'a'), "EE971065AAA017E0632A8CA6C77BB3BF8B1DFC56",
       "31EBA51C313A5C08226ADF18D4A359CFDFD8D2E816B13F4AF952F7EA6584DCFB"},
      {std::string(120, 'a'), "F34C1488385346A55709BA056DDD08280DD4C6D6",
       "2F3D335432C70B580AF0E8E1B3674A7C020D683AA5F73AAAEDFDC55AF904C21C"},
      {all, "4916D6BDB7F78E6803698CAB32D1586EA457DFC8",
       "40AFF2E9D2D8922E47AFD4648E6967497158785FBD1DA870E7110266BF944880"},
      {all.substr(0x80), "87F0C35852E65AD707F37C05FB03DC6E68AA4FBF",
       "60AE23EE1DD9974D2F4036AA646F97B13F1A5A8B6304C31FAEA05C59CB363C65"},
      {std::string("a\0b", 3), "4A3DEC2D1F8245280855C42DB0EE4239F917FDB8",
       "59B271AE1BBCB1D31D41929817F4B16FB439EB4F31520B5AD1D5CE98920A7138"}};
}

// The digests of the messages of every length from 0 to 300 (byte i is
// (i * 167 + 13) / 2 mod 256), each expected to be `digits` upper-case
// hexadecimal digits, joined, for one digest to check them all.
inline std::string EveryLengthUpTo300(std::string (*digestHex)(std::string_view),
                                      std::size_t digits) {
  std::string joined;
  for (std::size_t length = 0; length <= 300; ++length) {
    std::string message(length, '\0');
    for (std::size_t i = 0; i < length; ++i) message[i] = static_cast<char>(((i * 167 + 13) >> 1));
    const std::string digest = digestHex(message);
    EXPECT_EQ(digest.size(), digits) << length << " bytes";
    EXPECT_EQ(digest.find_first_not_of("0123456789ABCDEF"), std::string::npos) << digest;
    joined += digest;
  }
  return joined;
}

}  // namespace testing
}  // namespace kelvane
