#include <gtest/gtest.h>

#include <string>

#include "driver/ExpandTarget.h"

namespace kelvane {
namespace {

// Case is ignored on both sides, by the code page; a run of stars acts as one and may match
// nothing, and gives back what it took; "?" matches any byte but never the end of the name; a mask
// ending in ".*" needs a dot in the name; empty names and masks never match; "^" and "[" are
// ordinary characters.
TEST(MatchesWildcard, WholeNameConsumed) {
  // clang-format off
  const struct {
    const char *name, *mask;
    bool matches;
  } cases[] = {
      {"MiXed.Torrent", "mixed.TORRENT", true}, {"a.torrent", "a.torren", false},
      {"a.torrent", "a.torrentx", false},       {"x.torrent", "*.tor", false},
      {"abc", "***", true},                     {"ac", "a**c", true},
      {"abcabd", "*abd", true},                 {"abcab", "*abd", false},
      {"a.b", "a?b", true},                     {"ab", "a?b", false},
      {"ab", "ab?", false},                     {"", "?", false},
      {"", "*", false},                         {"a", "", false},
      {"noext", "*.*", false},                  {"noext", "noext.*", false},
      {"noext.", "noext.*", true},              {"^a", "^a", true},
      {"a1", "a[1]", false},                    {"\xE9t\xE9", "\xE9t?", true}};
  // clang-format on

  for (const auto& c : cases)
    EXPECT_EQ(MatchesWildcard(c.name, c.mask), c.matches) << c.name << " ~ " << c.mask;
#ifdef _WIN32
  EXPECT_TRUE(MatchesWildcard("\xC9T\xC9", "\xE9t\xE9"));  // lower case by the code page
#endif
}

TEST(IsPlainFileName, ForbiddenBytesInTheFileNamePartDecide) {
  for (int code = 0; code < 256; ++code) {
    const char c = static_cast<char>(code);
    if (c == ':' || c == '/' || c == '\\') continue;  // separators split the name
    const bool forbidden = code < 0x20 || std::string("\"*<>?|").find(c) != std::string::npos;
    EXPECT_EQ(IsPlainFileName(std::string("a") + c + "b"), !forbidden) << "code " << code;
  }
  EXPECT_TRUE(IsPlainFileName("dir?*\\name"));
  EXPECT_FALSE(IsPlainFileName("c:a|b"));
}

}  // namespace
}  // namespace kelvane
