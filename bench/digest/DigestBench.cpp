// Throughput of each kernel of one digest (argument 1: sha1 or sha256) this
// CPU can run, over one 64 MiB message: the bytes of the file named by
// argument 2, or pseudo-random bytes. Each kernel digests the message twice
// over: as one buffer in memory, and the way a file is hashed as it is read,
// in 32 KiB pieces copied into a small buffer first (the copy stands for the
// read and is not counted). Prints one line per kernel: its name, MB/s of both
// ways and the digest, which must be the same on every line. MB/s is 10^6
// bytes per second of processor time (as openssl speed counts), best of
// several runs, so that other work on the machine weighs as little as it can;
// on Windows std::clock is wall time.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "digest/Kernels.h"
#include "digest/SHA.h"

namespace {

constexpr std::size_t kMessageSize = 64u << 20;
constexpr std::size_t kPieceSize = 32u << 10;
constexpr int kRuns = 6;

std::vector<char> LoadMessage(int argc, char** argv) {
  if (argc > 2) {
    std::ifstream file(argv[2], std::ios::binary);
    if (!file) {
      std::fprintf(stderr, "cannot open %s\n", argv[2]);
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

double Seconds(std::clock_t start, std::clock_t stop) {
  return static_cast<double>(stop - start) / CLOCKS_PER_SEC;
}

// Processor seconds of one digest of the whole buffer.
template <class TContext>
double WholeBuffer(const std::vector<char>& message, std::string& digest) {
  const std::clock_t start = std::clock();
  TContext context;
  context.Update(message.data(), message.size());
  digest = context.DigestHex();
  return Seconds(start, std::clock());
}

// Processor seconds spent in Update and DigestHex, piece by piece.
template <class TContext>
double InPieces(const std::vector<char>& message, std::string& digest) {
  static char piece[kPieceSize];
  TContext context;
  double seconds = 0;
  for (std::size_t at = 0; at < message.size(); at += kPieceSize) {
    const std::size_t length = std::min(kPieceSize, message.size() - at);
    std::memcpy(piece, message.data() + at, length);
    const std::clock_t start = std::clock();
    context.Update(piece, length);
    seconds += Seconds(start, std::clock());
  }
  const std::clock_t start = std::clock();
  digest = context.DigestHex();
  return seconds + Seconds(start, std::clock());
}

template <class TContext>
int Measure(kelvane::TKernelChoice& kernels, const std::vector<char>& message) {
  const double megabytes = static_cast<double>(message.size()) / 1e6;
  std::printf("%-10s %12s %12s  %s\n", "kernel", "buffer MB/s", "pieces MB/s", "digest");
  for (const kelvane::TKernel& kernel : kernels.Available()) {
    kernels.Use(kernel.Compress);
    std::string whole;
    std::string pieces;
    double bestWhole = 1e300;
    double bestPieces = 1e300;
    for (int run = 0; run < kRuns; ++run) {
      bestWhole = std::min(bestWhole, WholeBuffer<TContext>(message, whole));
      bestPieces = std::min(bestPieces, InPieces<TContext>(message, pieces));
    }
    if (pieces != whole) {
      std::fprintf(stderr, "%.*s: %s in pieces, %s whole\n", static_cast<int>(kernel.Name.size()),
                   kernel.Name.data(), pieces.c_str(), whole.c_str());
      return 1;
    }
    std::printf("%-10.*s %12.1f %12.1f  %s\n", static_cast<int>(kernel.Name.size()),
                kernel.Name.data(), megabytes / bestWhole, megabytes / bestPieces, whole.c_str());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view digest = argc > 1 ? argv[1] : "";
  if (digest != "sha1" && digest != "sha256") {
    std::fprintf(stderr, "usage: %s sha1|sha256 [FILE]\n", argv[0]);
    return 2;
  }
  const std::vector<char> message = LoadMessage(argc, argv);
  if (digest == "sha1") return Measure<kelvane::TSHA1Context>(kelvane::SHA1Kernels(), message);
  return Measure<kelvane::TSHA256Context>(kelvane::SHA256Kernels(), message);
}
