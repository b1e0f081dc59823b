#ifdef _WIN32
#include <windows.h>
#endif

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "driver/ExpandTarget.h"
#include "tests/expand/Support.h"

namespace kelvane {
namespace {

using testing::Capture;
using testing::CurrentFolder;
using testing::Expand;
using testing::Hashed;
using testing::kSep;
using testing::Scratch;
using testing::Torrent;
using Lines = std::multiset<std::string>;

// The folder of this test program, asked of the system directly.
std::filesystem::path ProgramFolder() {
#ifdef _WIN32
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  return std::filesystem::path(std::wstring(path, length)).parent_path();
#else
  return std::filesystem::read_symlink("/proc/self/exe").parent_path();
#endif
}

class ExpandTargetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"a.torrent", "noext", ".hidden", "b.tor"}) dir_.File(name, Torrent(1));
    for (const char* name : {"MiXed.Torrent", "^a.torrent"}) dir_.File(name, Torrent(2));
    dir_.SubFolder("folder.torrent");
    dir_.File("folder.torrent/inner.torrent", Torrent(1));
#ifdef _WIN32
    ASSERT_TRUE(SetFileAttributesA(dir_.Name(".hidden").c_str(),
                                   FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
#endif
  }

  Scratch dir_;
};

TEST_F(ExpandTargetTest, SelectsTheFilesTheMaskMatches) {
  const Lines all = {Hashed(1, "a.torrent"), Hashed(1, "noext"),         Hashed(1, ".hidden"),
                     Hashed(1, "b.tor"),     Hashed(2, "MiXed.Torrent"), Hashed(2, "^a.torrent")};
  const struct {
    std::string fileNamePart;
    Lines lines;
  } cases[] = {
      // Never a directory, "." or "..", whatever selects everything.
      {"*.*", all},
      {"*", all},
      {"", all},
      {"*.torrent", {Hashed(1, "a.torrent"), Hashed(2, "MiXed.Torrent"), Hashed(2, "^a.torrent")}},
      {"*.tor", {Hashed(1, "b.tor")}},  // not the ".torrent" files
      {"no*.*", {}},                    // a name without a dot
      {"noext", {Hashed(1, "noext")}},
      {"MIXED.TORRENT", {Hashed(2, "MiXed.Torrent")}},  // shown as stored
      {"m?x*.T*", {Hashed(2, "MiXed.Torrent")}},
      {"^*.torrent", {}},  // exclusion masks
      {"^a.torrent", {Hashed(2, "^a.torrent")}},
      {"^A.TORRENT", {Hashed(2, "^a.torrent")}},
      {"folder.torrent", {}},  // a directory is not a file
      {"fold*" + kSep + "inner.torrent", {}},
      {"folder.torrent" + kSep, {Hashed(1, "inner.torrent")}},
      {"missing.torrent", {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Expand(dir_.Dir() + kSep + c.fileNamePart), c.lines) << c.fileNamePart;
  }
  EXPECT_EQ(Expand(dir_.Name("a.torrent"), true), Lines{testing::Digest(1)});
}

TEST_F(ExpandTargetTest, SameTargetTwiceIsProcessedTwice) {
  Capture output;
  ExpandTarget(dir_.Name("a.torrent"), false);
  ExpandTarget(dir_.Name("a.torrent"), false);
  EXPECT_EQ(output.Lines(), std::vector<std::string>(2, Hashed(1, "a.torrent")));
}

TEST_F(ExpandTargetTest, DirectoryPartEndingInSlash) {
  EXPECT_EQ(JoinNames(ListDirectory(dir_.Dir() + "/", "a.torrent", 0x80)),
            dir_.Dir() + "/\\a.torrent\n");
  EXPECT_EQ(Expand(dir_.Dir() + "/a.torrent"), Lines{Hashed(1, "a.torrent")});
}

TEST(ExpandTargetFolderTest, ManyStarsOnALongName) {
  Scratch dir;
  const std::string name(100, 'a');
  dir.File(name, Torrent(1));
  const std::string stars = "*a*a*a*a*a*a*a*a*a*a*a*a";
  EXPECT_EQ(Expand(dir.Name(stars + "*b")), Lines{});
  EXPECT_EQ(Expand(dir.Name(stars)), Lines{Hashed(1, name)});
}

TEST(ExpandTargetFolderTest, BareTargetsMeanTheProgramsFolder) {
  Scratch program(ProgramFolder());
  const std::string prefix = Scratch::UniqueName("kx");
  program.File(prefix + "a.torrent", Torrent(1));
  program.File(prefix + "b.torrent", Torrent(1));
  Scratch current;
  current.File(prefix + "a.torrent", Torrent(2));
  current.File(prefix + "c.torrent", Torrent(2));
  const CurrentFolder inCurrent(current.Folder());

  EXPECT_EQ(Expand(prefix + "a.torrent"), Lines{Hashed(1, prefix + "a.torrent")});
  EXPECT_EQ(Expand(prefix + "*.torrent"),
            (Lines{Hashed(1, prefix + "a.torrent"), Hashed(1, prefix + "b.torrent")}));
  EXPECT_EQ(Expand(prefix + "c.torrent"), Lines{});
  // "." and a separator: the current folder.
  EXPECT_EQ(Expand("./" + prefix + "*.torrent"),
            (Lines{Hashed(2, prefix + "a.torrent"), Hashed(2, prefix + "c.torrent")}));
  EXPECT_EQ(Expand("." + kSep + prefix + "c.torrent"), Lines{Hashed(2, prefix + "c.torrent")});
}

}  // namespace
}  // namespace kelvane
