// Picks the compression kernel once, from what the CPU reports.

#include <array>

#include "digest/SHA1Kernels.h"

#if defined(KELVANE_SHA1_X86)
#include <cpuid.h>
#endif

namespace kelvane {

namespace {

#if defined(KELVANE_SHA1_X86)
// SHA (leaf 7, EBX bit 29) and the SSSE3 and SSE4.1 shuffles and extracts
// that go with it (leaf 1, ECX bits 9 and 19). The kernel touches only XMM
// registers, which every 64-bit system saves, so no OS check is needed.
bool CpuHasShaNi() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid_max(0, nullptr) < 7) return false;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  const bool ssse3 = (ecx & (1u << 9)) != 0;
  const bool sse41 = (ecx & (1u << 19)) != 0;
  if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return false;
  const bool sha = (ebx & (1u << 29)) != 0;
  return ssse3 && sse41 && sha;
}
#endif

struct TKernelList {
  std::array<TSHA1Kernel, 2> Kernels{};
  std::size_t Count = 0;
};

const TKernelList& Available() {
  static const TKernelList list = [] {
    TKernelList l;
    l.Kernels[l.Count++] = {"portable", SHA1CompressPortable};
#if defined(KELVANE_SHA1_X86)
    if (CpuHasShaNi()) l.Kernels[l.Count++] = {"sha-ni", SHA1CompressShaNi};
#endif
    return l;
  }();
  return list;
}

// The last kernel listed is the fastest.
SHA1CompressFn Fastest() {
  return Available().Kernels[Available().Count - 1].Compress;
}

SHA1CompressFn& InUse() {
  static SHA1CompressFn compress = Fastest();
  return compress;
}

}  // namespace

std::span<const TSHA1Kernel> SHA1Kernels() {
  const TKernelList& list = Available();
  return {list.Kernels.data(), list.Count};
}

void SHA1Compress(std::uint32_t state[5], const std::uint8_t* blocks, std::size_t count) {
  InUse()(state, blocks, count);
}

SHA1CompressFn SetSHA1Compress(SHA1CompressFn compress) {
  SHA1CompressFn previous = InUse();
  InUse() = compress != nullptr ? compress : Fastest();
  return previous;
}

}  // namespace kelvane
