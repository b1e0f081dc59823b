// Throughput of each SHA-1 kernel this CPU can run, over one 64 MiB message:
// the bytes of the file named on the command line, or pseudo-random bytes.
// Prints one line per kernel: its name, MB/s and the digest, which must be
// the same on every line. MB/s is 10^6 bytes per second of processor time
// (as openssl speed counts), best of several runs, so that other work on the
// machine weighs as little as it can; on Windows std::clock is wall time.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "digest/sha1.h"
#include "digest/sha1_kernels.h"

namespace {

constexpr std::size_t kMessageSize = 64u << 20;
constexpr int kRuns = 8;

std::vector<char> LoadMessage(int argc, char** argv) {
  if (argc > 1) {
    std::ifstream file(argv[1], std::ios::binary);
    if (!file) {
      std::fprintf(stderr, "cannot open %s\n", argv[1]);
      std::exit(2);
    }
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  }
  std::vector<char> bytes(kMessageSize);
  std::mt19937_64 random(20240601);
  for (std::size_t i = 0; i + 8 <= bytes.size(); i += 8) {
    const std::uint64_t word = random();
    std::copy_n(reinterpret_cast<const char*>(&word), 8, bytes.data() + i);
  }
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<char> message = LoadMessage(argc, argv);
  const std::string_view text(message.data(), message.size());
  std::printf("%-10s %10s  %s\n", "kernel", "MB/s", "digest");
  for (const kelvane::TSHA1Kernel& kernel : kelvane::SHA1Kernels()) {
    kelvane::SetSHA1Compress(kernel.Compress);
    std::string digest;
    double best = 1e300;
    for (int run = 0; run < kRuns; ++run) {
      const std::clock_t start = std::clock();
      digest = kelvane::SHA1DigestHex(text);
      const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
      best = std::min(best, seconds);
    }
    std::printf("%-10.*s %10.1f  %s\n", static_cast<int>(kernel.Name.size()), kernel.Name.data(),
                static_cast<double>(message.size()) / best / 1e6, digest.c_str());
  }
  return 0;
}
