#pragma once

// Each digest run through each kernel the CPU has, and messages that these tests and Python's
// hashlib can both rebuild.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "digest/Kernels.h"
#include "digest/SHA1.h"
#include "digest/SHA256.h"

namespace kelvane::testing {

// One kernel of one digest, named for test names ("sha1_portable", "sha256_sha_ni").
struct TDigestKernel {
  std::string Name;
  TKernelChoice* Choice;
  TCompressFn Compress;
  TBlockDigest (*Make)();
};

inline void PrintTo(const TDigestKernel& kernel, std::ostream* out) {
  *out << kernel.Name;
}

// Every kernel this CPU runs of the digests whose names start with `digest` ("sha1", "sha256",
// "" for both).
inline std::vector<TDigestKernel> DigestKernels(std::string_view digest = "") {
  std::vector<TDigestKernel> all;
  for (const TKernel& kernel : SHA1Kernels().Available())
    all.push_back({"sha1_" + std::string(kernel.Name), &SHA1Kernels(), kernel.Compress,
                   []() -> TBlockDigest { return TSHA1Context(); }});
  for (const TKernel& kernel : SHA256Kernels().Available())
    all.push_back({"sha256_" + std::string(kernel.Name), &SHA256Kernels(), kernel.Compress,
                   []() -> TBlockDigest { return TSHA256Context(); }});
  std::vector<TDigestKernel> chosen;
  for (TDigestKernel& kernel : all) {
    std::replace(kernel.Name.begin(), kernel.Name.end(), '-', '_');
    if (kernel.Name.starts_with(digest)) chosen.push_back(kernel);
  }
  return chosen;
}

// A suite run once with each kernel, which every digest of its kind uses meanwhile.
class DigestKernelTest : public ::testing::TestWithParam<TDigestKernel> {
 protected:
  void SetUp() override { Previous = GetParam().Choice->Use(GetParam().Compress); }
  void TearDown() override { GetParam().Choice->Use(Previous); }
  TCompressFn Previous = nullptr;
};

inline std::string KernelName(const ::testing::TestParamInfo<TDigestKernel>& kernel) {
  return kernel.param.Name;
}

// Bytes of every value, in no pattern that repeats at a block's length.
inline std::string PatternBytes(std::size_t length) {
  std::string bytes(length, '\0');
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>(i * 167 + i / 253);
  return bytes;
}

// A message with its SHA-1 and SHA-256 digests, from OpenSSL through Python's hashlib.
struct TKnownAnswer {
  std::string Message;
  const char* SHA1;
  const char* SHA256;
};

// Sample messages of FIPS 180: "abc" and a million "a" (the shorter ones are among those of
// EveryLengthUpTo300).
inline std::vector<TKnownAnswer> KnownAnswers() {
  return {{"abc", "A9993E364706816ABA3E25717850C26C9CD0D89D",
           "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"},
          {std::string(1000000, 'a'), "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F",
           "CDC76E5C9914FB9281A1C7E284D73E67F1809A48A497200E046D39CCC7112CD0"}};
}

// The digests of the messages of every length from 0 to 300, which cross each padding boundary
// (byte i is (i * 167 + 13) / 2 mod 256), joined, for one digest to check them all.
inline std::string EveryLengthUpTo300(std::string (*digestHex)(std::string_view)) {
  std::string joined, message;
  for (std::size_t length = 0; length <= 300; message += char((length++ * 167 + 13) >> 1))
    joined += digestHex(message);
  return joined;
}

}  // namespace kelvane::testing
