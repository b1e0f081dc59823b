// Picks each digest's compression kernel once, from what the CPU reports.

#include "digest/Kernels.h"

#if defined(KELVANE_SHA_NI)
#include <cpuid.h>
#endif

namespace kelvane {

namespace {

#if defined(KELVANE_SHA_NI)
TCpuFeatures AskCpu() {
  TCpuFeatures features;
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx)) features.Leaf1Ecx = ecx;
  if (__get_cpuid_max(0, nullptr) >= 7 && __get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx))
    features.Leaf7Ebx = ebx;
  return features;
}

constexpr TCompressFn kSHA1ShaNi = SHA1CompressShaNi;
constexpr TCompressFn kSHA256ShaNi = SHA256CompressShaNi;
constexpr TPairCompressFn kPairShaNi = SHA1AndSHA256CompressShaNi;
#else
TCpuFeatures AskCpu() {
  return {};
}

constexpr TCompressFn kSHA1ShaNi = nullptr;
constexpr TCompressFn kSHA256ShaNi = nullptr;
constexpr TPairCompressFn kPairShaNi = nullptr;
#endif

}  // namespace

const TCpuFeatures& CpuFeatures() {
  static const TCpuFeatures features = AskCpu();
  return features;
}

// SHA (leaf 7, EBX bit 29) and the SSSE3 and SSE4.1 shuffles, blends and
// extracts that go with it (leaf 1, ECX bits 9 and 19). The kernels touch only
// XMM registers, which every 64-bit system saves, so no OS check is needed.
bool RunsShaNi(const TCpuFeatures& features) {
  const bool ssse3 = (features.Leaf1Ecx & (1u << 9)) != 0;
  const bool sse41 = (features.Leaf1Ecx & (1u << 19)) != 0;
  const bool sha = (features.Leaf7Ebx & (1u << 29)) != 0;
  return ssse3 && sse41 && sha;
}

TKernelChoice::TKernelChoice(TCompressFn portable, TCompressFn shaNi,
                             const TCpuFeatures& features) {
  List[Count++] = {"portable", portable};
  if (shaNi != nullptr && RunsShaNi(features)) List[Count++] = {"sha-ni", shaNi};
  Kernel = List[Count - 1].Compress;
}

TCompressFn TKernelChoice::Use(TCompressFn compress) {
  const TCompressFn previous = Kernel;
  Kernel = compress != nullptr ? compress : List[Count - 1].Compress;
  return previous;
}

TKernelChoice MakeSHA1Kernels(const TCpuFeatures& features) {
  return TKernelChoice(SHA1CompressPortable, kSHA1ShaNi, features);
}

TKernelChoice MakeSHA256Kernels(const TCpuFeatures& features) {
  return TKernelChoice(SHA256CompressPortable, kSHA256ShaNi, features);
}

TKernelChoice& SHA1Kernels() {
  static TKernelChoice choice = MakeSHA1Kernels(CpuFeatures());
  return choice;
}

TKernelChoice& SHA256Kernels() {
  static TKernelChoice choice = MakeSHA256Kernels(CpuFeatures());
  return choice;
}

TPairCompressFn PairKernel(const TKernelChoice& sha1, const TKernelChoice& sha256) {
  // Without the SHA extensions' kernels in the build, neither compares equal:
  // a kernel in use is never null.
  const bool shaNi = sha1.InUse() == kSHA1ShaNi && sha256.InUse() == kSHA256ShaNi;
  return shaNi ? kPairShaNi : nullptr;
}

}  // namespace kelvane
