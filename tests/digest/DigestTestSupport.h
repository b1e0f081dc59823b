#pragma once

// Each digest run through each kernel the CPU has.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "digest/Kernels.h"
#include "digest/SHA.h"

namespace kelvane::testing {

// One kernel of one digest, named for test names ("sha1_portable", "sha256_sha_ni").
struct TDigestKernel {
  std::string Name;
  TKernelChoice* Choice;
  TCompressFn Compress;
  TBlockDigest (*Make)();
  std::string (*DigestHex)(std::string_view);  // the digest's one-shot function
};

inline void PrintTo(const TDigestKernel& kernel, std::ostream* out) {
  *out << kernel.Name;
}

// Every kernel of each digest that this CPU runs.
inline std::vector<TDigestKernel> DigestKernels() {
  std::vector<TDigestKernel> all;
  for (const TKernel& kernel : SHA1Kernels().Available())
    all.push_back({"sha1_" + std::string(kernel.Name), &SHA1Kernels(), kernel.Compress,
                   []() -> TBlockDigest { return TSHA1Context(); }, SHA1DigestHex});
  for (const TKernel& kernel : SHA256Kernels().Available())
    all.push_back({"sha256_" + std::string(kernel.Name), &SHA256Kernels(), kernel.Compress,
                   []() -> TBlockDigest { return TSHA256Context(); }, SHA256DigestHex});
  for (TDigestKernel& kernel : all) std::replace(kernel.Name.begin(), kernel.Name.end(), '-', '_');
  return all;
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

}  // namespace kelvane::testing
