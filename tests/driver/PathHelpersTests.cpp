#include <gtest/gtest.h>

#include <string>

#include "driver/PathHelpers.h"
#include "tests/base/TestFolder.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace kelvane {
namespace {

TEST(PathSplit, SplitsAfterTheLastSeparatorOfAnyKind) {
  struct Case {
    std::string path, directory, name;
  };
  const Case cases[] = {
      {"dir\\name.torrent", "dir\\", "name.torrent"},
      {"name.torrent", "", "name.torrent"},
      {"a\\b\\", "a\\b\\", ""},
      {"C:", "C:", ""},
      {"C:x", "C:", "x"},
      {"C:\\dir/sub\\x", "C:\\dir/sub\\", "x"},  // "/" and "\" mixed: the last one counts
      {"a\\b/c", "a\\b/", "c"},
      {"/abs/path/f", "/abs/path/", "f"},
      {"dir\\odd:name", "dir\\odd:", "name"},  // a colon anywhere ends a directory part
      {"", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DirectoryPart(c.path), c.directory) << c.path;
    EXPECT_EQ(FileNamePart(c.path), c.name) << c.path;
    EXPECT_EQ(DirectoryPart(c.path) + FileNamePart(c.path), c.path);
  }
  const std::string withZero("a\\b\0c", 5);  // texts may hold zero bytes
  EXPECT_EQ(FileNamePart(withZero), std::string("b\0c", 3));
}

TEST(IsExistingFile, TrueOnlyForEntriesThatAreNotDirectories) {
  testing::TestFolder folder;
  const std::string plain = folder.Write("plain.torrent", "d4:infoi1ee");
  const std::string hidden = folder.Write(".hidden", "x");
  EXPECT_TRUE(IsExistingFile(plain));
  EXPECT_TRUE(IsExistingFile(hidden));
  EXPECT_FALSE(IsExistingFile(folder.MakeFolder("sub")));
  EXPECT_FALSE(IsExistingFile(folder.MakeFolder("sub.torrent")));
  EXPECT_FALSE(IsExistingFile(folder.Name("missing.torrent")));
  EXPECT_FALSE(IsExistingFile(""));
#ifdef _WIN32
  ASSERT_TRUE(SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  EXPECT_TRUE(IsExistingFile(hidden));
  ASSERT_TRUE(SetFileAttributesA(plain.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(IsExistingFile(plain));
  EXPECT_FALSE(IsExistingFile(folder.Name("plain.torrent?")));
  EXPECT_FALSE(IsExistingFile(folder.Name("plain.tor?ent")));
  EXPECT_FALSE(IsExistingFile(folder.Name("*.torrent")));
  SetFileAttributesA(plain.c_str(), FILE_ATTRIBUTE_NORMAL);  // so the folder can go
  SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_NORMAL);
#else
  // Backslashes are separators on every system.
  EXPECT_TRUE(IsExistingFile(folder.Name("sub") + "\\..\\plain.torrent"));
#endif
}

}  // namespace
}  // namespace kelvane
