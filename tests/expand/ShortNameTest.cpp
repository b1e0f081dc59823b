// Listed names that do not open under their long name.

#ifdef _WIN32
#include <windows.h>
#endif

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "driver/ExpandTarget.h"
#include "driver/PathHelpers.h"
#include "tests/expand/Support.h"

namespace kelvane {
namespace {

using testing::Capture;
using testing::CurrentFolder;
using testing::Digest;
using testing::Expand;
using testing::Hashed;
using testing::kSep;
using testing::Scratch;
using testing::Torrent;
using Lines = std::multiset<std::string>;

std::vector<std::string> Lookup(const std::string& name, bool hashOnly) {
  Capture output;
  ReportThroughShortName(name, hashOnly);
  return output.Lines();
}

TEST(ShortNameLookupTest, NoFileFoundNamesTheWholeListedName) {
  Scratch dir;
  dir.SubFolder("folder.torrent");
  // Matching nothing, and matching a directory only, alike; with and without
  // hashOnly the line keeps the directory.
  for (const std::string& name : {dir.Name("zz?none.torrent"), dir.Name("fold?r.torrent")}) {
    for (const bool hashOnly : {false, true}) {
      EXPECT_EQ(Lookup(name, hashOnly),
                std::vector<std::string>{"Error - File not Exists: " + name});
    }
  }
}

TEST(ShortNameLookupTest, FileWithoutShortNameIsReportedMissing) {
  Scratch dir;
  dir.File("b.tor", Torrent(1));  // a name in 8.3 form needs no short name
  const TDirectoryListing listing = ListDirectory(dir.Dir(), "b.tor", 0x80);
  ASSERT_EQ(listing.AcceptedEntries.size(), 1u);
  ASSERT_EQ(listing.AcceptedEntries[0].alternateFileName, "");

  EXPECT_EQ(Lookup(dir.Name("b?tor"), false),
            std::vector<std::string>{"Error - File not Exists:   b?tor"});
  EXPECT_EQ(Lookup(dir.Name("b?tor"), true), std::vector<std::string>{"Error - File not Exists: "});
}

#ifdef _WIN32

TEST(ShortNameLookupTest, UnrepresentableNameIsOpenedThroughItsShortName) {
  Scratch dir;
  dir.File("a.torrent", Torrent(1));
  // Two Japanese characters: code page 1252 has neither.
  const std::wstring wide = dir.Folder().wstring() + L"\\\u65E5\u672C.torrent";
  const HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  const std::string bytes = Torrent(2);
  DWORD written = 0;
  const BOOL wrote =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  ASSERT_TRUE(wrote);

  // The listing shows "?" for each character; only the short name opens.
  const TDirectoryListing listing = ListDirectory(dir.Dir(), "??.torrent", 0x80);
  ASSERT_EQ(listing.AcceptedEntries.size(), 1u);
  const platform::FindData& entry = listing.AcceptedEntries[0];
  EXPECT_EQ(entry.fileName, "??.torrent");
  ASSERT_NE(entry.alternateFileName, "");
  EXPECT_FALSE(IsExistingFile(dir.Name(entry.fileName)));
  EXPECT_TRUE(IsExistingFile(dir.Name(entry.alternateFileName)));

  EXPECT_EQ(Expand(dir.Name("*.torrent")),
            (Lines{Hashed(1, "a.torrent"), Hashed(2, "??.torrent")}));
  EXPECT_EQ(Expand(dir.Name("*.torrent"), true), (Lines{Digest(1), Digest(2)}));
  EXPECT_EQ(Lookup(dir.Name("??.torrent"), false),
            std::vector<std::string>{Hashed(2, "??.torrent")});
}

#else

// A POSIX name may hold bytes no Windows name can: a line feed must not cut
// it in two (the second half then taken from the current folder), nor a
// backslash make it a path into a subfolder.
TEST(ShortNameLookupTest, NameWindowsCannotHoldIsListedWithQuestionMark) {
  Scratch dir;
  dir.File("a\nb.torrent", Torrent(1));
  dir.File("c\\d.torrent", Torrent(1));
  dir.SubFolder("c");
  dir.File("c/d.torrent", Torrent(2));
  Scratch current;
  current.File("b.torrent", Torrent(2));
  const CurrentFolder inCurrent(current.Folder());

  EXPECT_EQ(
      Expand(dir.Dir() + kSep + "*.torrent"),
      (Lines{"Error - File not Exists:   a?b.torrent", "Error - File not Exists:   c?d.torrent"}));
}

#endif

}  // namespace
}  // namespace kelvane
