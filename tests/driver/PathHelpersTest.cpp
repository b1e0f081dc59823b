#include <gtest/gtest.h>

#include <string>

#include "driver/PathHelpers.h"
#include "tests/support/TestSupport.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace kelvane {
namespace {

// Windows splits at ":", "\\" and "/", POSIX at "/" alone.
TEST(PathHelpersTest, SplitAfterTheLastSeparatorOfTheSystem) {
  const bool win32 = platform::kConventions.Separators == platform::kWin32Conventions.Separators;
  // clang-format off
  const std::string cases[][3] = {  // paths and their directory parts on Windows and on POSIX
      {"dir\\name.torrent", "dir\\", ""}, {"name.torrent", "", ""}, {"a\\b\\", "a\\b\\", ""},
      {"C:", "C:", ""}, {"C:x", "C:", ""}, {"C:\\dir/sub\\x", "C:\\dir/sub\\", "C:\\dir/"},
      {"a\\b/c", "a\\b/", "a\\b/"}, {"/", "/", "/"}, {"d\n*?/x:y", "d\n*?/x:", "d\n*?/"}};
  // clang-format on
  for (const auto& [path, win32Directory, posixDirectory] : cases) {
    const std::string& directory = win32 ? win32Directory : posixDirectory;
    EXPECT_EQ(DirectoryPart(path), directory) << path;
    EXPECT_EQ(FileNamePart(path), path.substr(directory.size())) << path;
  }
}

TEST(PathHelpersTest, ShownTextTurnsControlBytesIntoQuestionMarksWhereNamesHoldThem) {
  for (int code = 1; code < 256; ++code) {
    const std::string name = std::string("a") + static_cast<char>(code) + "b";
    const bool control = code < 0x20 || code == 0x7F;
    EXPECT_EQ(ShownText(name),
              control && platform::kConventions.ControlBytesShownAsQuestionMark ? "a?b" : name)
        << "code " << code;
  }
}

TEST(PathHelpersTest, IsExistingFileOnlyForEntriesThatAreNotDirectories) {
  testing::TempFolder folder;
  EXPECT_TRUE(IsExistingFile(folder.Write("plain.torrent", "d4:infoi1ee")));
  const std::string hidden = folder.Write(".hidden", "x");
#ifdef _WIN32
  ASSERT_TRUE(SetFileAttributesA(
      hidden.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY));
  for (const char* name : {"plain.torrent?", "plain.tor?ent", "*.torrent"})
    EXPECT_FALSE(IsExistingFile(folder.Name(name))) << name;
#endif
  EXPECT_TRUE(IsExistingFile(hidden));
#ifndef _WIN32
  // A link that leads nowhere is an entry all the same, as on Windows: opening it is what fails.
  for (const char* link : {"dangling", "looping"}) {
    ASSERT_EQ(symlink(link[0] == 'd' ? "nowhere" : "looping", folder.Name(link).c_str()), 0);
    EXPECT_TRUE(IsExistingFile(folder.Name(link))) << link;
  }
  EXPECT_FALSE(IsExistingFile(folder.Name("dangling/x")));
#endif
  EXPECT_FALSE(IsExistingFile(folder.MakeFolder("sub.torrent")));
  EXPECT_FALSE(IsExistingFile(folder.Name("missing.torrent")));
}

}  // namespace
}  // namespace kelvane
