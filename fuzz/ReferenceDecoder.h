#pragma once

#include <cstdint>
#include <string_view>

namespace kelvane::fuzz {

// What the per-file path must make of a non-empty input.
struct TExpectedOutcome {
  enum class TKind { Digest, ParsingError, Raises };
  TKind Kind = TKind::Raises;
  // For a digest: the info range, each as the low 32 bits of the root's entry.
  std::int32_t Start = 0;
  std::int32_t Length = 0;
};

// A second, tree-less reading of the bencode rules, written apart from the
// decoder so the two can be held against each other: it only follows the
// root dictionary's "_info_start" and "_info_length" entries, the last one
// stored winning, and whether the input is refused on the way.
TExpectedOutcome PredictOutcome(std::string_view input);

}  // namespace kelvane::fuzz
