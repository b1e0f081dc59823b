#include <gtest/gtest.h>

#include <string>

#include "driver/PathHelpers.h"
#include "platform/Conventions.h"

namespace kelvane {
namespace {

// Windows splits at ":", "\\" and "/", POSIX at "/" alone; where names may hold control bytes
// (POSIX), a line shows each as "?".
TEST(PathHelpersTest, SplitAfterTheLastSeparatorAndShowControlBytesAsTheSystemSays) {
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
  for (int code = 1; code < 256; ++code) {
    const std::string name = std::string("a") + static_cast<char>(code) + "b";
    const bool control = code < 0x20 || code == 0x7F;
    EXPECT_EQ(ShownText(name), control ? "a?b" : name) << "code " << code;
  }
}

}  // namespace
}  // namespace kelvane
