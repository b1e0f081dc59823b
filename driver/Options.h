#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "torrent/InfoHash.h"

namespace kelvane {

// What the leading options of a command line ask for.
struct TOptions {
  bool HashOnly = false;
  // A folder's or mask's target takes every folder below too, at any depth.
  bool Recursive = false;
  TLineContent Content = TLineContent::V1Digest;
  std::int32_t FirstFileArg = 1;  // the index, from 1, of the first target
};

// Each option counts once, so no more leading arguments than this can be options.
inline constexpr std::size_t kOptionCount = 5;

// Reads the options at the head of arguments (the command line's argument 1
// first): "-hash", "-v2", "-magnet", "-json" and "-r", in any order, each compared
// after ASCII lower-casing. The first argument that is none of them, or that
// repeats one already taken, is the first target. With both -v2 and -magnet
// the line is the magnet link; -json, a record of every identity
// (AllIdentities), overrides the other three. Only the first kOptionCount
// arguments are looked at.
TOptions ParseOptions(const std::vector<std::string>& arguments);

}  // namespace kelvane
