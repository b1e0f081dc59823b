#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "driver/CommandLine.h"

namespace kelvane {
namespace {

using namespace std::string_literals;
using Rows = std::vector<std::pair<std::string, std::vector<std::string>>>;

TEST(CommandLineTest, SplitsQuotedRunsWithoutEscapesAndDropsOnlyASurroundingPairOfQuotes) {
  // clang-format off
  const Rows rows = {
      {"", {}}, {"prog   \t ", {"prog"}}, {"p \"open to the end", {"p", "\"open to the end"}},
      {"\"C:\\Program Files\\k.exe\" a b", {"\"C:\\Program Files\\k.exe\"", "a", "b"}},
      {"p ab\"c d\"ef \"\"", {"p", "ab\"c d\"ef", "\"\""}}, {"p a\\\"b c\"", {"p", "a\\\"b c\""}},
      {"p\tq\x01r\x1fs \x7f\x80\xff", {"p", "q", "r", "s", "\x7f\x80\xff"}},
      {"p a\0b c"s, {"p", "a"}}};  // a zero byte ends the line
  // The arguments: the tokens after the program's name, each without a surrounding pair of quotes.
  const Rows arguments = {
      {"prog", {}}, {"prog \"\" x", {"", "x"}}, {"prog \"", {"\""}},
      {"\"quoted prog\" \"a path\\with spaces\" -hash", {"a path\\with spaces", "-hash"}},
      {"C:\\My Tools\\k.exe -hash x", {"Tools\\k.exe", "-hash", "x"}},  // token 0 splits too
      {"prog ab\"c d\"ef \"ab\"c \"a\"b\"", {"ab\"c d\"ef", "\"ab\"c", "a\"b"}},
      {"prog \"unclosed to the end", {"\"unclosed to the end"}}};
  // clang-format on
  for (const auto& [line, tokens] : rows) EXPECT_EQ(SplitCommandLine(line), tokens) << line;
  for (const auto& [line, kept] : arguments) EXPECT_EQ(CommandLineArguments(line), kept) << line;
}

}  // namespace
}  // namespace kelvane
