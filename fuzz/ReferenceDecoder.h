#pragma once

#include <cstdint>
#include <string_view>

namespace kelvane::fuzz {

// What the per-file path must make of a non-empty input.
struct TExpectedOutcome {
  enum class TKind { Digest, ParsingError, Raises };
  TKind Kind = TKind::Raises;
  // For a digest: the info range, which lies whole in the input.
  std::int64_t Start = 0;
  std::int64_t Length = 0;
};

// A second, tree-less reading of the bencode rules, written apart from the
// decoder so the two can be held against each other: it only follows the
// root dictionary's "_info_start" and "_info_length" entries, the last one
// stored winning, and whether the input is refused on the way. A digest is
// expected exactly when the info value lies whole in the input: it ends with
// its own closing byte, or is a string, an integer or a byte that starts no
// value, each with every byte it needs; and the range, wherever it comes
// from, lies in the input.
TExpectedOutcome PredictOutcome(std::string_view input);

}  // namespace kelvane::fuzz
