#pragma once

// The one CPU-specific seam of the digest: compressing whole 64-byte blocks
// into the five chaining words. Everything else (padding, length, rendering)
// is the same for every kernel. Internal to the digest, its tests and its
// benchmark.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace kelvane {

// Compresses `count` consecutive 64-byte blocks at `blocks` into `state`
// (H0..H4), first block first. Never raises.
using SHA1CompressFn = void (*)(std::uint32_t state[5], const std::uint8_t* blocks,
                                std::size_t count);

// The portable kernel, the reference for the others. Runs on every CPU.
void SHA1CompressPortable(std::uint32_t state[5], const std::uint8_t* blocks, std::size_t count);

// The x86 SHA extensions kernel, present in x86 builds only; to be called
// only where the CPU has SHA, SSSE3 and SSE4.1.
void SHA1CompressShaNi(std::uint32_t state[5], const std::uint8_t* blocks, std::size_t count);

struct TSHA1Kernel {
  std::string_view Name;
  SHA1CompressFn Compress;
};

// Every kernel this CPU can run, the portable one first.
std::span<const TSHA1Kernel> SHA1Kernels();

// Compresses with the kernel in use: the fastest this CPU can run, chosen
// when the digest is first used.
void SHA1Compress(std::uint32_t state[5], const std::uint8_t* blocks, std::size_t count);

// Puts `compress` in use in place of the chosen kernel (nullptr puts the
// chosen one back) and returns the one it replaces, so that tests and the
// benchmark can run every digest through each kernel. Not to be called while
// a digest is being computed.
SHA1CompressFn SetSHA1Compress(SHA1CompressFn compress);

}  // namespace kelvane
