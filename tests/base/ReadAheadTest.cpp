#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/ReadAhead.h"
#include "tests/support/TestSupport.h"

namespace kelvane {
namespace {

// A file as text: whole ("=" and its bytes), handed over open ("open" with its size and first
// bytes), or not opened.
std::string Show(TReadFile file) {
  if (!file.Opened) return "not opened";
  std::string text = file.Stream ? "open " + std::to_string(file.Size) + " "
                                 : std::string(file.Unchanged ? "=" : "changed ");
  if (!file.Stream) return text.append(file.Bytes.get(), static_cast<std::size_t>(file.Size));
  char head[4];
  return text.append(head, file.Stream->Read(head, sizeof head));
}

// Files in the order given, more of them than the reader runs ahead: each whole or handed over
// by its size, and those that are no file are not opened.
TEST(ReadAheadTest, HandsOverEveryFileInOrder) {
  testing::TempFolder folder;
  std::vector<std::string> names, expected;
  for (int i = 0; i < 60; ++i) {
    const std::string content = std::string(i % 7 == 0 ? 100 : 1 + i % 5, char('a' + i % 26));
    names.push_back(folder.Write(std::to_string(i) + ".f", content));
    expected.push_back(content.size() > 50 ? "open 100 " + content.substr(0, 4) : "=" + content);
    if (i % 10 == 3) {
      names.push_back(folder.Name(std::to_string(i) + ".missing"));
      names.push_back(folder.MakeFolder(std::to_string(i) + ".dir"));
      expected.insert(expected.end(), 2, "not opened");
    }
  }
  names.push_back(folder.Write("empty", ""));
  expected.push_back("=");
  TReadAhead files(names, 50);
  for (const std::string& want : expected) EXPECT_EQ(Show(files.Take()), want);
}

// The taker may stop early, as a run does when standard output fails: nothing hangs.
TEST(ReadAheadTest, StopsWhenTheTakerStopsEarly) {
  testing::TempFolder folder;
  std::vector<std::string> names;
  for (int i = 0; i < 100; ++i) names.push_back(folder.Write(std::to_string(i) + ".f", "x"));
  for (const int taken : {0, 1, 40}) {
    TReadAhead files(names, 1 << 20);
    for (int i = 0; i < taken; ++i) EXPECT_EQ(Show(files.Take()), "=x");
  }
}

}  // namespace
}  // namespace kelvane
