#include <gtest/gtest.h>

#include <string>

#include "driver/PathHelpers.h"
#include "tests/support/TestSupport.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace kelvane {
namespace {

TEST(PathHelpersTest, SplitAfterTheLastSeparatorOfAnyKind) {
  // clang-format off
  const std::string cases[][2] = {  // paths and their directory parts
      {"dir\\name.torrent", "dir\\"}, {"name.torrent", ""}, {"a\\b\\", "a\\b\\"}, {"C:", "C:"},
      {"C:x", "C:"}, {"C:\\dir/sub\\x", "C:\\dir/sub\\"}, {"a\\b/c", "a\\b/"}};
  // clang-format on
  for (const auto& [path, directory] : cases) {
    EXPECT_EQ(DirectoryPart(path), directory) << path;
    EXPECT_EQ(FileNamePart(path), path.substr(directory.size())) << path;
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
  EXPECT_FALSE(IsExistingFile(folder.MakeFolder("sub.torrent")));
  EXPECT_FALSE(IsExistingFile(folder.Name("missing.torrent")));
}

}  // namespace
}  // namespace kelvane
