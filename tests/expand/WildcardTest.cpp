#include <gtest/gtest.h>

#include <string>

#include "driver/ExpandTarget.h"

namespace kelvane {
namespace {

TEST(MatchesWildcardTest, Table) {
  struct Case {
    const char* name;
    const char* mask;
    bool matches;
  };
  const Case cases[] = {
      {"a.torrent", "a.torrent", true},
      {"MiXed.Torrent", "mixed.TORRENT", true},  // case is ignored on both sides
      {"a.torrent", "A.TORRENT", true},
      {"a.torrent", "a.torren", false},  // the whole name must be consumed
      {"a.torrent", "a.torrentx", false},
      {"", "*", false},  // empty name or mask never match
      {"a", "", false},
      {"", "", false},
      {"abc", "*", true},
      {"abc", "***", true},  // a run of stars acts as one
      {"abc", "a**c", true},
      {"ac", "a**c", true},      // a star may match nothing
      {"abcabd", "*abd", true},  // the star has to give back what it took
      {"abcab", "*abd", false},
      {"a.b", "a?b", true},  // "?" matches a dot
      {"ab", "a?b", false},
      {"ab", "ab?", false},  // ... but never the end of the name
      {"a", "?", true},
      {"", "?", false},
      {"noext", "*.*", false},  // a mask ending in ".*" needs a dot in the name
      {"noext", "noext.*", false},
      {"noext.", "noext.*", true},
      {"x.torrent", "*.tor", false},  // a three-letter extension is not a prefix
      {"x.tor", "*.tor", true},
      {"^a", "^a", true},      // "^" is an ordinary character here
      {"a[1]", "a[1]", true},  // no character classes
      {"a1", "a[1]", false},
      {"\xE9t\xE9", "\xE9t?", true},  // high bytes are ordinary bytes
#ifdef _WIN32
      {"\xC9T\xC9", "\xE9t\xE9", true},  // Windows lower-cases by the code page
#endif
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchesWildcard(c.name, c.mask), c.matches)
        << "name \"" << c.name << "\" mask \"" << c.mask << "\"";
  }
}

TEST(IsPlainFileNameTest, ForbiddenCharactersDecide) {
  const std::string forbidden = "\"*<>?|";
  for (int code = 0; code < 256; ++code) {
    const char c = static_cast<char>(code);
    if (c == ':' || c == '/' || c == '\\') continue;  // separators split the name
    const bool member = code < 0x20 || forbidden.find(c) != std::string::npos;
    EXPECT_EQ(IsPlainFileName(std::string("a") + c + "b"), !member) << "code " << code;
  }
  EXPECT_TRUE(IsPlainFileName(""));
  EXPECT_TRUE(IsPlainFileName("plain name.torrent"));
  // Only the part after the last separator is looked at.
  EXPECT_TRUE(IsPlainFileName("dir?*\\name"));
  EXPECT_TRUE(IsPlainFileName("a?b/"));
  EXPECT_FALSE(IsPlainFileName("dir\\a?b"));
  EXPECT_FALSE(IsPlainFileName("c:a|b"));
}

}  // namespace
}  // namespace kelvane
