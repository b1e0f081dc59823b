#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "base/Exceptions.h"
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
  const Lines others = {Hashed(1, "noext"), Hashed(1, ".hidden"), Hashed(1, "b.tor")};
  // Never a directory, "." or ".."; names shown as stored. "^REST" is every file REST does not
  // match, "?" reaching a name that begins with "^". A name without wildcards is a mask like any
  // other on Windows, the exact name on POSIX.
  // clang-format off
  const std::pair<std::string, Lines> cases[] = {
      {"*.*", all}, {"*", all}, {"", all},
      {"*.torrent", {Hashed(1, "a.torrent"), Hashed(2, "MiXed.Torrent"), Hashed(2, "^a.torrent")}},
      {"*.tor", {Hashed(1, "b.tor")}}, {"no*.*", {}}, {"^*.torrent", others},
      {"^A*", {Hashed(1, "noext"), Hashed(1, ".hidden"), Hashed(1, "b.tor"),
               Hashed(2, "MiXed.Torrent"), Hashed(2, "^a.torrent")}},
      {"^A.TORRENT", {Hashed(1, "noext"), Hashed(1, ".hidden"), Hashed(1, "b.tor"),
                      Hashed(2, "MiXed.Torrent"), Hashed(2, "^a.torrent")}},
      {"?a.torrent", {Hashed(2, "^a.torrent")}}, {"^*", {}}, {"folder.torrent", {}},
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

// Natively the files of a listing come sorted by the bytes of their names, whatever order they
// were made in; Windows keeps the order its system delivers.
TEST(ListDirectoryTest, FilesComeInTheOrderOfTheirBytes) {
  TempFolder dir;
  const std::vector<std::string> scrambled = {"b", "\xff", "a0", "C", "_", "a", "\x7f", "A b"};
  for (const std::string& name : scrambled) dir.Write(name, "x");
  std::vector<std::string> names;
  for (const platform::TFindData& entry : ListDirectory(dir.Name(""), "*").AcceptedEntries)
    if ((entry.Attributes & platform::kAttributeDirectory) == 0) names.push_back(entry.FileName);
  std::vector<std::string> sorted = {"A b", "C", "_", "a", "a0", "b", "\x7f", "\xff"};
  if (kWin32) std::sort(names.begin(), names.end());
  EXPECT_EQ(names, sorted);
}

// In a walk a folder comes where the paths below it sort, as its name and "/": after the names
// whose next byte is below "/" (" ", "-", "."), before "a0". Windows lists the files first, then
// the folders. Every folder whatever the mask, and no ".", ".." or link to a folder.
TEST(ListDirectoryTest, AWalkListsFoldersWhereThePathsBelowThemSort) {
  TempFolder dir;
  for (const char* name : {"a.torrent", "a b.torrent", "a0.torrent", "b.txt"}) dir.Write(name, "x");
  for (const char* name : {"a", "a-x", "a.d"}) dir.MakeFolder(name);
#ifndef _WIN32
  std::filesystem::create_directory_symlink("a", dir.Folder() / "l");
#endif
  std::vector<std::string> names;
  for (const platform::TFindData& entry :
       ListDirectory(dir.Name(""), "*.torrent", true).AcceptedEntries)
    names.push_back(entry.FileName);
  const std::vector<std::string> files = {"a b.torrent", "a.torrent", "a0.torrent"};
  const std::vector<std::string> folders = {"a", "a-x", "a.d"};
  if (kWin32) {
    ASSERT_EQ(names.size(), 6u);
    std::sort(names.begin(), names.begin() + 3);
    std::sort(names.begin() + 3, names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a b.torrent", "a.torrent", "a0.torrent", "a", "a-x",
                                               "a.d"}));
  } else {
    EXPECT_EQ(names, (std::vector<std::string>{"a b.torrent", "a-x", "a.d", "a.torrent", "a",
                                               "a0.torrent"}));
  }
}

bool Recursively(const std::string& name, const TOptions& options) {
  TOptions recursive = options;
  recursive.Recursive = true;
  return ExpandTarget(name, recursive);
}

// With -r a mask takes the files it matches in every folder below, at any depth, each shown by its
// path below the target's folder; a link to a file is a file, a link to a folder is not followed,
// so a loop ends. Natively a folder named exactly is walked too.
TEST_F(ExpandTargetTest, RecursiveTakesEveryFolderBelow) {
  const std::string sep(1, platform::kConventions.ListingSeparator);
  const std::string folder = "folder.torrent" + sep, deeper = folder + "deeper" + sep;
  Dir.MakeFolder("folder.torrent/deeper");
  Dir.Write("folder.torrent/deeper/x.torrent", Torrent(2));
  Dir.Write("folder.torrent/deeper/x.txt", Torrent(2));
  Lines below = {Hashed(1, folder + "inner.torrent"), Hashed(2, deeper + "x.torrent")};
#ifndef _WIN32
  std::filesystem::create_directory_symlink("..", Dir.Folder() / "folder.torrent/deeper/up");
  std::filesystem::create_symlink("../a.torrent", Dir.Folder() / "folder.torrent/l.torrent");
  below.insert(Hashed(1, folder + "l.torrent"));
#endif
  Lines all = below;
  all.insert({Hashed(1, "a.torrent"), Hashed(2, "MiXed.Torrent"), Hashed(2, "^a.torrent")});
  const std::string target = Dir.Name("*.torrent");
  EXPECT_EQ(Expand(target, false, Recursively), AsGiven(all, target));
  Lines exact = {Hashed(2, "deeper" + sep + "x.txt")};  // every file of a folder named
  for (const std::string& line : below) exact.insert(line.substr(0, 42) + line.substr(42 + 15));
  const std::string named = Dir.Name("folder.torrent");
  EXPECT_EQ(Expand(named, false, Recursively), kWin32 ? Lines{} : AsGiven(exact, named + sep));
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

#ifndef _WIN32
// With every descriptor taken, neither a listing nor a file's open is blamed on the target: the
// run ends with the system's reason.
TEST_F(ExpandTargetTest, NoDescriptorLeftEndsTheRun) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "the sanitizers' run-time needs descriptors of its own";
#endif
  rlimit before;
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &before), 0);
  rlimit few = before;
  few.rlim_cur = 64;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &few), 0);
  std::vector<int> taken;
  for (int fd; (fd = dup(0)) >= 0;) taken.push_back(fd);
  ASSERT_EQ(errno, EMFILE);
  for (const std::string& target : {Dir.Name("*"), Dir.Name("a.torrent")}) {
    Output output;
    try {
      ExpandTarget(target, TOptions{});
      ADD_FAILURE() << target << ": no error";
    } catch (const EOutOfResources& error) {
      EXPECT_EQ(error.Code(), std::uint32_t{EMFILE}) << target;
    }
    EXPECT_EQ(Output::Text(), "") << target;
  }
  for (const int fd : taken) close(fd);
  setrlimit(RLIMIT_NOFILE, &before);
}
#endif

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
