#ifdef _WIN32
#include <windows.h>
#endif

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "driver/ExpandTarget.h"
#include "tests/support/TestSupport.h"

namespace kelvane {
namespace {

using testing::kEol;
using testing::Output;
using testing::TempFolder;
using Lines = std::multiset<std::string>;
const std::string kSep(1, static_cast<char>(std::filesystem::path::preferred_separator));
const bool kWin32 = platform::kConventions.Separators == platform::kWin32Conventions.Separators;

// A metainfo file whose info value is the integer n (1 or 2), its digest (SHA-1 of "i<n>e"), and
// the line that reports it under a name.
const auto Torrent = [](int n) { return "d4:infoi" + std::to_string(n) + "ee"; };
const std::string kDigests[] = {"1C9D0D26A5211FC7A715823784AAAFAEAF7E88C7",
                                "C3EB21F2ECE5514EF440873008BA8D1C1057C788"};
const auto Digest = [](int n) { return kDigests[n - 1]; };
const auto Hashed = [](int n, const std::string& name) { return Digest(n) + "  " + name; };

// Case is ignored on both sides, by the code page; a run of stars acts as one and may match
// nothing, and gives back what it took; "?" matches any byte but never the end of the name; a mask
// ending in ".*" needs a dot in the name; empty names and masks never match; "^" and "[" are
// ordinary characters.
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
#ifdef _WIN32
  EXPECT_TRUE(MatchesWildcard("\xC9T\xC9", "\xE9t\xE9"));  // lower case by the code page
#endif
}

TEST(IsPlainFileNameTest, ForbiddenBytesInTheFileNamePartDecide) {
  for (int code = 0; code < 256; ++code) {
    const char c = static_cast<char>(code);
    if (platform::kConventions.Separators.find(c) != std::string::npos) continue;  // splits
    const bool forbidden = code < 0x20 || std::string("\"*/:<>?\\|").find(c) != std::string::npos;
    EXPECT_EQ(IsPlainFileName(std::string("a") + c + "b"), !forbidden) << "code " << code;
  }
  EXPECT_TRUE(IsPlainFileName("dir?*/name"));
  EXPECT_FALSE(IsPlainFileName("c:a|b"));
}

// The lines, each ended by the line end, one call (by default the expansion of a target) writes.
Lines Expand(const std::string& name, bool hashOnly = false,
             void (*call)(const std::string&, bool) = ExpandTarget) {
  Output output;
  call(name, hashOnly);
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

TEST_F(ExpandTargetTest, SelectsTheFilesTheMaskMatches) {
  const Lines all = {Hashed(1, "a.torrent"), Hashed(1, "noext"),         Hashed(1, ".hidden"),
                     Hashed(1, "b.tor"),     Hashed(2, "MiXed.Torrent"), Hashed(2, "^a.torrent")};
  const Lines mixed = {Hashed(2, "MiXed.Torrent")}, inner = {Hashed(1, "inner.torrent")};
  // Never a directory, "." or ".."; names shown as stored; "^" masks exclude. A name without
  // wildcards is a mask like any other on Windows, the exact name on POSIX.
  // clang-format off
  const std::pair<std::string, Lines> cases[] = {
      {"*.*", all}, {"*", all}, {"", all},
      {"*.torrent", {Hashed(1, "a.torrent"), Hashed(2, "MiXed.Torrent"), Hashed(2, "^a.torrent")}},
      {"*.tor", {Hashed(1, "b.tor")}}, {"no*.*", {}}, {"^*.torrent", {}}, {"folder.torrent", {}},
      {"MIXED.TORRENT", kWin32 ? mixed : Lines{}}, {"MiXed.Torrent", mixed},
      {"m?x*.T*", mixed}, {"^A.TORRENT", kWin32 ? Lines{Hashed(2, "^a.torrent")} : Lines{}},
      {"missing" + kSep + "*", {}}, {"fold*" + kSep + "inner.torrent", {}},
      {"folder.torrent/", inner}, {"folder.torrent\\", kWin32 ? inner : Lines{}}};
  // clang-format on
  for (const auto& [fileNamePart, lines] : cases)
    EXPECT_EQ(Expand(Dir.Name(fileNamePart)), lines) << fileNamePart;
  EXPECT_EQ(Expand(Dir.Name("a.torrent"), true), Lines{Digest(1)});

  Output output;  // the same target twice is processed twice
  ExpandTarget(Dir.Name("a.torrent"), false);
  ExpandTarget(Dir.Name("a.torrent"), false);
  EXPECT_EQ(Output::Text(), Hashed(1, "a.torrent") + kEol + Hashed(1, "a.torrent") + kEol);
}

// A name not found through its short name gets a line naming the whole name looked for, also with
// hashOnly; a file without a short name is not there either.
TEST_F(ExpandTargetTest, ShortNameLookupThatFindsNoFile) {
  for (const bool hashOnly : {false, true}) {
    for (const std::string& name : {Dir.Name("zz?none.torrent"), Dir.Name("fold?r.torrent")})
      EXPECT_EQ(Expand(name, hashOnly, ReportThroughShortName),
                Lines{"Error - File not Exists: " + name});
    EXPECT_EQ(Expand(Dir.Name("b?tor"), hashOnly, ReportThroughShortName),
              Lines{"Error - File not Exists: " + std::string(hashOnly ? "" : "  b?tor")});
  }
}

TEST(ExpandTargetPlatformTest, ManyStarsOnALongNameTakeLinearTime) {
  TempFolder dir;
  const std::string name(100, 'a'), stars = "*a*a*a*a*a*a*a*a*a*a*a*a";
  dir.Write(name, Torrent(1));
  EXPECT_EQ(Expand(dir.Name(stars + "*b")), Lines{});
  EXPECT_EQ(Expand(dir.Name(stars)), Lines{Hashed(1, name)});
}

// Bare targets mean the program's own folder on Windows, whatever the current folder, and the
// current folder on POSIX; "./" always means the current one.
TEST(ExpandTargetPlatformTest, BareTargetsMeanTheFolderOfTheSystemsConvention) {
#ifdef _WIN32
  wchar_t path[MAX_PATH];
  const std::filesystem::path self(std::wstring(path, GetModuleFileNameW(nullptr, path, MAX_PATH)));
#else
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
#endif
  TempFolder program(self.parent_path()), current;
  const std::string a = TempFolder::UniqueName("kx") + "a.torrent", b = a + "b", c = a + "c";
  for (const std::string& name : {a, b}) program.Write(name, Torrent(1));
  for (const std::string& name : {a, c}) current.Write(name, Torrent(2));
  const testing::CurrentFolder inCurrent(current.Folder());
  const Lines here = {Hashed(2, a), Hashed(2, c)};
  const bool inProgram = platform::kConventions.BareTargetsInProgramFolder;
  EXPECT_EQ(Expand(a), Lines{inProgram ? Hashed(1, a) : Hashed(2, a)});
  EXPECT_EQ(Expand(a + "*"), (inProgram ? Lines{Hashed(1, a), Hashed(1, b)} : here));
  EXPECT_EQ(Expand(c), inProgram ? Lines{} : Lines{Hashed(2, c)});
  EXPECT_EQ(Expand("./" + a + "*"), here);
  EXPECT_EQ(Expand("." + kSep + c), Lines{Hashed(2, c)});
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
  EXPECT_EQ(Expand(dir.Name("*.torrent"), true), (Lines{Digest(1), Digest(2)}));
  EXPECT_EQ(Expand(dir.Name("??.torrent"), false, ReportThroughShortName),
            Lines{Hashed(2, "??.torrent")});
}
#endif

}  // namespace
}  // namespace kelvane
