#ifdef _WIN32
#include <windows.h>
#endif

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "driver/ExpandTarget.h"
#include "driver/PathHelpers.h"
#include "tests/support/TestSupport.h"

namespace kelvane {
namespace {

using testing::kSep;
using testing::Output;
using testing::TempFolder;
using Lines = std::multiset<std::string>;

// A metainfo file whose info value is the integer n (1 or 2), and its line's field.
std::string Torrent(int n) {
  return "d4:infoi" + std::to_string(n) + "ee";
}
std::string Digest(int n) {  // SHA-1 of "i<n>e"
  return n == 1 ? "1C9D0D26A5211FC7A715823784AAAFAEAF7E88C7"
                : "C3EB21F2ECE5514EF440873008BA8D1C1057C788";
}
std::string Hashed(int n, const std::string& name) {
  return Digest(n) + "  " + name;
}

// The lines one target writes, in any order.
Lines Expand(const std::string& target, bool hashOnly = false) {
  Output output;
  ExpandTarget(target, hashOnly);
  const std::vector<std::string> lines = Output::Lines();
  return {lines.begin(), lines.end()};
}

std::vector<std::string> Lookup(const std::string& name, bool hashOnly) {
  Output output;
  ReportThroughShortName(name, hashOnly);
  return Output::Lines();
}

class ExpandTargetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"a.torrent", "noext", ".hidden", "b.tor"})
      dir_.Write(name, Torrent(1));
    for (const char* name : {"MiXed.Torrent", "^a.torrent"}) dir_.Write(name, Torrent(2));
    dir_.MakeFolder("folder.torrent");
    dir_.Write("folder.torrent/inner.torrent", Torrent(1));
#ifdef _WIN32
    ASSERT_TRUE(SetFileAttributesA(dir_.Name(".hidden").c_str(),
                                   FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
#endif
  }

  TempFolder dir_;
};

TEST_F(ExpandTargetTest, SelectsTheFilesTheMaskMatches) {
  const Lines all = {Hashed(1, "a.torrent"), Hashed(1, "noext"),         Hashed(1, ".hidden"),
                     Hashed(1, "b.tor"),     Hashed(2, "MiXed.Torrent"), Hashed(2, "^a.torrent")};
  const Lines inner = {Hashed(1, "inner.torrent")};
  // Never a directory, "." or ".."; names shown as stored; "^" masks exclude.
  const std::pair<std::string, Lines> cases[] = {
      {"*.*", all},
      {"*", all},
      {"", all},
      {"*.torrent", {Hashed(1, "a.torrent"), Hashed(2, "MiXed.Torrent"), Hashed(2, "^a.torrent")}},
      {"*.tor", {Hashed(1, "b.tor")}},
      {"no*.*", {}},
      {"noext", {Hashed(1, "noext")}},
      {"m?x*.T*", {Hashed(2, "MiXed.Torrent")}},
      {"MIXED.TORRENT", {Hashed(2, "MiXed.Torrent")}},
      {"^*.torrent", {}},
      {"^A.TORRENT", {Hashed(2, "^a.torrent")}},
      {"folder.torrent", {}},
      {"fold*" + kSep + "inner.torrent", {}},
      {"folder.torrent/", inner},
      {"folder.torrent\\", inner},
      {"missing.torrent", {}}};
  for (const auto& [fileNamePart, lines] : cases)
    EXPECT_EQ(Expand(dir_.Dir() + kSep + fileNamePart), lines) << fileNamePart;
  EXPECT_EQ(Expand(dir_.Name("a.torrent"), true), Lines{Digest(1)});

  Output output;  // the same target twice is processed twice
  ExpandTarget(dir_.Name("a.torrent"), false);
  ExpandTarget(dir_.Name("a.torrent"), false);
  EXPECT_EQ(Output::Lines(), std::vector<std::string>(2, Hashed(1, "a.torrent")));
}

// Names that do not open under their long name are looked for through their short name. Where none
// is found, the line names the whole name looked for, kept also with hashOnly; a file without a
// short name is not there either.
TEST_F(ExpandTargetTest, ShortNameLookupThatFindsNoFile) {
  for (const std::string& name : {dir_.Name("zz?none.torrent"), dir_.Name("fold?r.torrent")}) {
    for (const bool hashOnly : {false, true})
      EXPECT_EQ(Lookup(name, hashOnly), std::vector{"Error - File not Exists: " + name});
  }
  EXPECT_EQ(Lookup(dir_.Name("b?tor"), false),
            std::vector<std::string>{"Error - File not Exists:   b?tor"});
  EXPECT_EQ(Lookup(dir_.Name("b?tor"), true),
            std::vector<std::string>{"Error - File not Exists: "});
}

TEST(ExpandTarget, ManyStarsOnALongNameTakeLinearTime) {
  TempFolder dir;
  const std::string name(100, 'a'), stars = "*a*a*a*a*a*a*a*a*a*a*a*a";
  dir.Write(name, Torrent(1));
  EXPECT_EQ(Expand(dir.Name(stars + "*b")), Lines{});
  EXPECT_EQ(Expand(dir.Name(stars)), Lines{Hashed(1, name)});
}

// Bare targets mean the program's own folder, whatever the current folder; "./" the current one.
TEST(ExpandTarget, BareTargetsMeanTheProgramsFolder) {
#ifdef _WIN32
  wchar_t path[MAX_PATH];
  const std::filesystem::path self(std::wstring(path, GetModuleFileNameW(nullptr, path, MAX_PATH)));
#else
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
#endif
  TempFolder program(self.parent_path()), current;
  const std::string a = TempFolder::UniqueName("kx") + "a.torrent", b = a + "b", c = a + "c";
  program.Write(a, Torrent(1));
  program.Write(b, Torrent(1));
  current.Write(a, Torrent(2));
  current.Write(c, Torrent(2));
  const testing::CurrentFolder inCurrent(current.Folder());
  EXPECT_EQ(Expand(a), Lines{Hashed(1, a)});
  EXPECT_EQ(Expand(a + "*"), (Lines{Hashed(1, a), Hashed(1, b)}));
  EXPECT_EQ(Expand(c), Lines{});
  EXPECT_EQ(Expand("./" + a + "*"), (Lines{Hashed(2, a), Hashed(2, c)}));
  EXPECT_EQ(Expand("." + kSep + c), Lines{Hashed(2, c)});
}

#ifdef _WIN32
// A name the code page cannot hold is listed with "?" for each such character, opened through its
// short name, and reported under the listed name.
TEST(ExpandTarget, UnrepresentableNameIsOpenedThroughItsShortName) {
  TempFolder dir;
  dir.Write("a.torrent", Torrent(1));
  std::ofstream(dir.Folder() / L"\u65E5\u672C.torrent", std::ios::binary) << Torrent(2);
  const TDirectoryListing listing = ListDirectory(dir.Dir(), "??.torrent", 0x80);
  ASSERT_EQ(listing.AcceptedEntries.size(), 1u);
  const platform::FindData& entry = listing.AcceptedEntries[0];
  EXPECT_EQ(entry.fileName, "??.torrent");
  EXPECT_FALSE(IsExistingFile(dir.Name(entry.fileName)));
  EXPECT_TRUE(IsExistingFile(dir.Name(entry.alternateFileName)));
  EXPECT_EQ(Expand(dir.Name("*.torrent")),
            (Lines{Hashed(1, "a.torrent"), Hashed(2, "??.torrent")}));
  EXPECT_EQ(Expand(dir.Name("*.torrent"), true), (Lines{Digest(1), Digest(2)}));
  EXPECT_EQ(Lookup(dir.Name("??.torrent"), false), std::vector{Hashed(2, "??.torrent")});
}
#else
// A line feed in a name must not cut it in two (the second half then taken from the current
// folder), nor a backslash make it a path into a subfolder: both are listed as "?".
TEST(ExpandTarget, NameWindowsCannotHoldIsListedWithQuestionMark) {
  TempFolder dir, current;
  dir.Write("a\nb.torrent", Torrent(1));
  dir.Write("c\\d.torrent", Torrent(1));
  dir.MakeFolder("c");
  dir.Write("c/d.torrent", Torrent(2));
  current.Write("b.torrent", Torrent(2));
  const testing::CurrentFolder inCurrent(current.Folder());
  EXPECT_EQ(Expand(dir.Name("*.torrent")), (Lines{"Error - File not Exists:   a?b.torrent",
                                                  "Error - File not Exists:   c?d.torrent"}));
}
#endif

}  // namespace
}  // namespace kelvane
