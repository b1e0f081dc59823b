#pragma once

// The one CPU-specific seam of the digests: compressing whole 64-byte blocks
// into the chaining words. Everything else (padding, length, rendering) is the
// same for every kernel and lives in TBlockDigest. Internal to the digests,
// their tests and their benchmark.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace kelvane {

// Compresses `count` consecutive 64-byte blocks at `blocks` into `state` (the
// digest's chaining words, H0 first), first block first. Never raises.
using TCompressFn = void (*)(std::uint32_t* state, const std::uint8_t* blocks, std::size_t count);

// The portable kernels, the references for the others. They run on every CPU.
void SHA1CompressPortable(std::uint32_t state[5], const std::uint8_t* blocks, std::size_t count);
void SHA256CompressPortable(std::uint32_t state[8], const std::uint8_t* blocks, std::size_t count);

// Compresses the same `count` blocks into a SHA-1 and a SHA-256 state, as
// their two kernels would one after the other. Never raises.
using TPairCompressFn = void (*)(std::uint32_t* sha1State, std::uint32_t* sha256State,
                                 const std::uint8_t* blocks, std::size_t count);

// The x86 SHA extensions kernels, present in x86 builds only; to be called
// only where RunsShaNi(CpuFeatures()) holds.
void SHA1CompressShaNi(std::uint32_t state[5], const std::uint8_t* blocks, std::size_t count);
void SHA256CompressShaNi(std::uint32_t state[8], const std::uint8_t* blocks, std::size_t count);
void SHA1AndSHA256CompressShaNi(std::uint32_t sha1State[5], std::uint32_t sha256State[8],
                                const std::uint8_t* blocks, std::size_t count);

// The CPU's feature words that the choice of kernels reads (CPUID leaf 1 ECX,
// leaf 7 subleaf 0 EBX); zero where the CPU has no such leaf or the build is
// not for x86.
struct TCpuFeatures {
  std::uint32_t Leaf1Ecx = 0;
  std::uint32_t Leaf7Ebx = 0;
};

// This CPU's feature words, asked for once.
const TCpuFeatures& CpuFeatures();

// True where features has SHA, SSSE3 and SSE4.1, which the SHA extensions
// kernels need. Whether the build has those kernels is another matter.
bool RunsShaNi(const TCpuFeatures& features);

struct TKernel {
  std::string_view Name;
  TCompressFn Compress;
};

// The kernels of one digest that this CPU can run, and the one in use: the
// last listed, which is the fastest, unless a test or the benchmark put
// another in its place.
class TKernelChoice {
 public:
  // `shaNi` is null where the build has no such kernel; it is listed only
  // where a CPU with these features runs it.
  TKernelChoice(TCompressFn portable, TCompressFn shaNi, const TCpuFeatures& features);

  // Every kernel this CPU can run, the portable one first.
  std::span<const TKernel> Available() const { return {List.data(), Count}; }

  // Compresses with the kernel in use. Never raises.
  void Compress(std::uint32_t* state, const std::uint8_t* blocks, std::size_t count) const {
    Kernel(state, blocks, count);
  }

  // Puts `compress` in use (nullptr puts the fastest back) and returns the one
  // it replaces, so that tests and the benchmark can run every digest through
  // each kernel. Not to be called while a digest of this kind is being fed.
  TCompressFn Use(TCompressFn compress);
  // The kernel in use.
  TCompressFn InUse() const { return Kernel; }

 private:
  std::array<TKernel, 2> List{};
  std::size_t Count = 0;
  TCompressFn Kernel = nullptr;
};

// The kernels of each digest that a CPU with these features runs: a pure
// function of the feature words, so that tests can force any of them.
TKernelChoice MakeSHA1Kernels(const TCpuFeatures& features);
TKernelChoice MakeSHA256Kernels(const TCpuFeatures& features);

// The kernels of each digest for this CPU, chosen when first asked for.
TKernelChoice& SHA1Kernels();
TKernelChoice& SHA256Kernels();

// The kernel that compresses both digests' blocks at once for the kernels in
// use in sha1 and sha256: the SHA extensions' pair where both use theirs, else
// null, and each compresses on its own.
TPairCompressFn PairKernel(const TKernelChoice& sha1, const TKernelChoice& sha256);

}  // namespace kelvane
