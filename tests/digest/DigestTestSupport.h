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

// The digests of the messages of every length from 0 to 300 (byte i is
// (i * 167 + 13) / 2 mod 256), joined, for one digest to check them all.
inline std::string EveryLengthUpTo300(std::string (*digestHex)(std::string_view)) {
  std::string joined;
  for (std::size_t length = 0; length <= 300; ++length) {
    std::string message(length, '\0');
    for (std::size_t i = 0; i < length; ++i) message[i] = static_cast<char>(((i * 167 + 13) >> 1));
    joined += digestHex(message);
  }
  return joined;
}

}  // namespace testing
}  // namespace kelvane
