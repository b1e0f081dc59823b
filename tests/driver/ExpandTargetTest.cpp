#ifdef _WIN32
#include <windows.h>
#endif

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "driver/ExpandTarget.h"
#include "driver/PathHelpers.h"
#include "tests/support/TestSupport.h"

namespace kelvane {
namespace {

using testing::kEol;
using testing::Output;
using testing::TempFolder;
using Lines = std::multiset<std::string>;
const bool kWin32 = platform::kConventions.Separators == platform::kWin32Conventions.Separators;

// A metainfo file whose info value is the integer n (1 or 2), and the line that reports it under a
// name: the SHA-1 of "i<n>e", two spaces, the name.
const auto Torrent = [](int n) { return "d4:infoi" + std::to_string(n) + "ee"; };
const std::string kDigests[] = {"1C9D0D26A5211FC7A715823784AAAFAEAF7E88C7",
                                "C3EB21F2ECE5514EF440873008BA8D1C1057C788"};
const auto Hashed = [](int n, const std::string& name) { return kDigests[n - 1] + "  " + name; };

// Case is ignored by the code page; a run of stars acts as one, may match nothing and gives back
// what it took; "?" is any byte, never the end; a mask ending in ".*" needs a dot in the name;
// empty names and masks never match; "^" and "[" are ordinary characters.
TEST(MatchesWildcardTest, WholeNameConsumed) {
  // clang-format off
  const char* matching[][2] = {{"MiXed.Torrent", "mixed.TORRENT"}, {"abc", "***"}, {"ac", "a**c"},
      {"abcabd", "*abd"}, {"a.b", "a?b"}, {"noext.", "noext.*"}, {"^a", "^a"},
      {"\xE9t\xE9", "\xE9t?"}};
  const char* different[][2] = {{"a.torrent", "a.torren"}, {"a.torrent", "a.torrentx"},
      {"x.torrent", "*.tor"}, {"abcab", "*abd"}, {"ab", "a?b"}, {"ab", "ab?"}, {"", "?"}, {"", "*"},
      {"a", ""}, {"noext", "*.*"}, {"noext", "noext.*"}, {"a1", "a[1]"}};
  // clang-format on
  for (const auto& [name, mask] : matching) EXPECT_TRUE(MatchesWildcard(name, mask)) << mask;
  for (const auto& [name, mask] : different) EXPECT_FALSE(MatchesWildcard(name, mask)) << mask;
  // Many stars on a long name take linear time, not a try of every way to split the name.
  EXPECT_FALSE(MatchesWildcard(std::string(100, 'a'), "*a*a*a*a*a*a*a*a*a*a*a*a*a*b"));
#ifdef _WIN32
  EXPECT_TRUE(MatchesWildcard("\xC9T\xC9", "\xE9t\xE9"));  // lower case by the code page
#endif
}

// The lines, each ended by the line end, one call (by default the expansion of a target) writes.
template <class TCall = bool (*)(const std::string&, const TOptions&)>
Lines Expand(const std::string& name, bool hashOnly = false, TCall call = ExpandTarget) {
  Output output;
  call(name, TOptions{.HashOnly = hashOnly});
  Lines lines;
  std::string rest = Output::Text();
  for (std::size_t end; (end = rest.find(kEol)) != std::string::npos;
       rest.erase(0, end + kEol.size()))
    lines.insert(rest.substr(0, end));
  EXPECT_EQ(rest, "") << "output not ended by the line end";
  return lines;
}

struct ExpandTargetTest : ::testing::Test {
  ExpandTargetTest() {
    for (const char* name : {"a.torrent", "noext", ".hidden", "b.tor"}) Dir.Write(name, Torrent(1));
    for (const char* name : {"MiXed.Torrent", "^a.torrent"}) Dir.Write(name, Torrent(2));
    Dir.MakeFolder("folder.torrent");
    Dir.Write("folder.torrent/inner.torrent", Torrent(1));
#ifdef _WIN32  // hidden, system and read-only files are listed and read too
    SetFileAttributesA(Dir.Name(".hidden").c_str(),
                       FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
#endif
  }

  TempFolder Dir;
};

// The lines a target gives, where a line shows the name alone: natively each name follows the
// target's directory part as written.
Lines AsGiven(const Lines& lines, const std::string& target) {
  if (!platform::kConventions.PathAsGiven) return lines;
  Lines shown;
  for (const std::string& line : lines)
    shown.insert(line.substr(0, 42) + DirectoryPart(target) + line.substr(42));
  return shown;
}

TEST_F(ExpandTargetTest, SelectsTheFilesTheMaskMatches) {
  const Lines all = {Hashed(1, "a.torrent"), Hashed(1, "noext"),         Hashed(1, ".hidden"),
                     Hashed(1, "b.tor"),     Hashed(2, "MiXed.Torrent"), Hashed(2, "^a.torrent")};
  const Lines mixed = {Hashed(2, "MiXed.Torrent")}, inner = {Hashed(1, "inner.torrent")};
  // Never a directory, "." or ".."; names shown as stored. "^REST" is every file REST does not
  // match (the end-to-end exclusions hold the rest of its rules). A name without wildcards is a
  // mask like any other on Windows, the exact name on POSIX.
  // clang-format off
  const std::pair<std::string, Lines> cases[] = {
      {"*.*", all}, {"*", all}, {"", all},
      {"*.torrent", {Hashed(1, "a.torrent"), Hashed(2, "MiXed.Torrent"), Hashed(2, "^a.torrent")}},
      {"*.tor", {Hashed(1, "b.tor")}}, {"no*.*", {}},
      {"^A.TORRENT", {Hashed(1, "noext"), Hashed(1, ".hidden"), Hashed(1, "b.tor"),
                      Hashed(2, "MiXed.Torrent"), Hashed(2, "^a.torrent")}},
      {"folder.torrent", {}},
      {"MIXED.TORRENT", kWin32 ? mixed : Lines{}}, {"MiXed.Torrent", mixed},
      {"m?x*.T*", mixed}, {"missing/*", {}}, {"fold*/inner.torrent", {}},
      {"folder.torrent/", inner}, {"folder.torrent/^x*", inner},
      {"folder.torrent\\", kWin32 ? inner : Lines{}}};
  // clang-format on
  for (const auto& [fileNamePart, lines] : cases) {
    const std::string target = Dir.Name(fileNamePart);
    EXPECT_EQ(Expand(target), AsGiven(lines, target)) << fileNamePart;
  }
}

bool ThroughShortName(const std::string& name, const TOptions& options) {
  return ReportThroughShortName(name, FileNamePart(name), options);
}

// A name not found through its short name gets a line naming the whole name looked for, also with
// hashOnly; a file without a short name is not there either.
TEST_F(ExpandTargetTest, ShortNameLookupThatFindsNoFile) {
  for (const bool hashOnly : {false, true}) {
    for (const std::string& name : {Dir.Name("zz?none.torrent"), Dir.Name("fold?r.torrent")})
      EXPECT_EQ(Expand(name, hashOnly, ThroughShortName),
                Lines{"Error - File not Exists: " + name});
    EXPECT_EQ(Expand(Dir.Name("b?tor"), hashOnly, ThroughShortName),
              Lines{"Error - File not Exists: " + std::string(hashOnly ? "" : "  b?tor")});
  }
}

#ifdef _WIN32
// A name the code page cannot hold is listed with "?" for each such character, opened through its
// short name, and reported under the listed name.
TEST(ExpandTargetPlatformTest, UnrepresentableNameIsOpenedThroughItsShortName) {
  TempFolder dir;
  dir.Write("a.torrent", Torrent(1));
  std::ofstream(dir.Folder() / L"\u65E5\u672C.torrent", std::ios::binary) << Torrent(2);
  EXPECT_EQ(Expand(dir.Name("*.torrent")),
            (Lines{Hashed(1, "a.torrent"), Hashed(2, "??.torrent")}));
  EXPECT_EQ(Expand(dir.Name("??.torrent"), false, ThroughShortName),
            Lines{Hashed(2, "??.torrent")});
}
#endif

}  // namespace
}  // namespace kelvane
