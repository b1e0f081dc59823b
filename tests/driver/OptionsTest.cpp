#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "driver/Options.h"

namespace kelvane {
namespace {

using enum TLineContent;

// Leading arguments, and the options they give: -hash, the line's content, the first target.
TEST(OptionsTest, EachOptionCountsOnceInAnyOrderUntilTheFirstTarget) {
  // clang-format off
  const std::vector<std::tuple<std::vector<std::string>, bool, TLineContent, int>> rows = {
      {{}, false, V1Digest, 1}, {{"x.torrent", "-v2"}, false, V1Digest, 1},
      {{"-hash", "-hash"}, true, V1Digest, 2}, {{"-HaSh", "x", "-v2"}, true, V1Digest, 2},
      {{"-V2", "-hash", "-v2"}, true, V2Digest, 3}, {{"-magnet", "-Hash"}, true, MagnetLink, 3},
      {{"-hash", "-MAGNET", "-v2"}, true, MagnetLink, 4}, {{"-v2", "--help"}, false, V2Digest, 2},
      {{"-v2", "-magnet", "-magnet"}, false, MagnetLink, 3},
      {{"-magnet", "-magne"}, false, MagnetLink, 2}, {{"-hash", "-magnets"}, true, V1Digest, 2},
      {{"-v 2", "-v2"}, false, V1Digest, 1}, {{"-json", "x"}, false, AllIdentities, 2},
      {{"-Magnet", "-hash", "-v2", "-JSON", "y"}, true, AllIdentities, 5},
      {{"-json", "-json"}, false, AllIdentities, 2}, {{"-jsonl", "-v2"}, false, V1Digest, 1}};
  // clang-format on
  for (const auto& [arguments, hashOnly, content, first] : rows) {
    const TOptions options = ParseOptions(arguments);
    EXPECT_EQ(std::tuple(options.HashOnly, options.Content, options.FirstFileArg),
              std::tuple(hashOnly, content, first))
        << ::testing::PrintToString(arguments);
  }
}

// -r is one option among the others: any letter case, once, before the first target; all five
// together are read.
TEST(OptionsTest, RecursiveIsAnOptionLikeTheOthers) {
  // clang-format off
  const std::vector<std::tuple<std::vector<std::string>, bool, int>> rows = {
      {{"-r", "x"}, true, 2}, {{"-R"}, true, 2}, {{"x", "-r"}, false, 1}, {{"-r", "-r"}, true, 2},
      {{"-rr", "-r"}, false, 1}, {{"-hash", "-R", "-v2"}, true, 4},
      {{"-v2", "-json", "-magnet", "-hash", "-r", "z"}, true, 6}};
  // clang-format on
  for (const auto& [arguments, recursive, first] : rows) {
    const TOptions options = ParseOptions(arguments);
    EXPECT_EQ(std::tuple(options.Recursive, options.FirstFileArg), std::tuple(recursive, first))
        << ::testing::PrintToString(arguments);
  }
}

}  // namespace
}  // namespace kelvane
