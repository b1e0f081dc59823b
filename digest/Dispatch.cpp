// Picks each digest's compression kernel once, from what the CPU reports.

#include "digest/Kernels.h"

#if defined(KELVANE_SHA_NI)
#include <cpuid.h>
#endif

namespace kelvane {

namespace {

#if defined(KELVANE_SHA_NI)
// SHA (leaf 7, EBX bit 29) and the SSSE3 and SSE4.1 shuffles, blends and
// extracts that go with it (leaf 1, ECX bits 9 and 19). The kernels touch only
// XMM registers, which every 64-bit system saves, so no OS check is needed.
bool AskCpu() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid_max(0, nullptr) < 7) return false;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  const bool ssse3 = (ecx & (1u << 9)) != 0;
  const bool sse41 = (ecx & (1u << 19)) != 0;
  if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return false;
  const bool sha = (ebx & (1u << 29)) != 0;
  return ssse3 && sse41 && sha;
}

constexpr TCompressFn kSHA1ShaNi = SHA1CompressShaNi;
constexpr TCompressFn kSHA256ShaNi = SHA256CompressShaNi;
#else
bool AskCpu() {
  return false;
}

constexpr TCompressFn kSHA1ShaNi = nullptr;
constexpr TCompressFn kSHA256ShaNi = nullptr;
#endif

}  // namespace

bool CpuHasShaNi() {
  static const bool has = AskCpu();
  return has;
}

TKernelChoice::TKernelChoice(TCompressFn portable, TCompressFn shaNi) {
  List[Count++] = {"portable", portable};
  if (shaNi != nullptr && CpuHasShaNi()) List[Count++] = {"sha-ni", shaNi};
  InUse = List[Count - 1].Compress;
}

TCompressFn TKernelChoice::Use(TCompressFn compress) {
  const TCompressFn previous = InUse;
  InUse = compress != nullptr ? compress : List[Count - 1].Compress;
  return previous;
}

TKernelChoice& SHA1Kernels() {
  static TKernelChoice choice(SHA1CompressPortable, kSHA1ShaNi);
  return choice;
}

TKernelChoice& SHA256Kernels() {
  static TKernelChoice choice(SHA256CompressPortable, kSHA256ShaNi);
  return choice;
}

}  // namespace kelvane
