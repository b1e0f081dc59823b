#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/CommandLine.h"

namespace kelvane {
namespace {

using Words = std::vector<std::string>;

TEST(CommandLine, SplitsTokensWithQuotedRunsAndNoEscapes) {
  struct Case {
    const char* line;
    Words tokens;
  };
  const Case cases[] = {
      {"", {}},
      {"prog", {"prog"}},
      {"prog   \t ", {"prog"}},
      {"\"C:\\Program Files\\k.exe\" a b", {"\"C:\\Program Files\\k.exe\"", "a", "b"}},
      {"p \"a b\"", {"p", "\"a b\""}},
      {"p ab\"c d\"ef", {"p", "ab\"c d\"ef"}},
      {"p \"\"", {"p", "\"\""}},
      {"p \"open to the end", {"p", "\"open to the end"}},
      {"p a\\\"b c\"", {"p", "a\\\"b c\""}},
      {"p\ta\x01" "b\x1f" "c", {"p", "a", "b", "c"}},
      {"p \x7f\x80\xff", {"p", "\x7f\x80\xff"}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.tokens) << c.line;
}

TEST(CommandLine, ZeroByteEndsTheLine) {
  EXPECT_EQ(SplitCommandLine(std::string("p a\0b c", 7)), (Words{"p", "a"}));
}

TEST(CommandLine, ArgumentsDropOnlyASurroundingPairOfQuotes) {
  struct Case {
    const char* line;
    Words arguments;
  };
  const Case cases[] = {
      {"prog", {}},
      {"prog word", {"word"}},
      {"prog \"a path\\with spaces\"", {"a path\\with spaces"}},
      {"prog \"\"", {""}},
      {"prog \"\" x", {"", "x"}},
      {"prog ab\"c d\"ef", {"ab\"c d\"ef"}},
      {"prog \"abc", {"\"abc"}},
      {"prog \"ab\"c", {"\"ab\"c"}},
      {"prog \"unclosed to the end", {"\"unclosed to the end"}},
      {"prog \"", {"\""}},
      {"\"quoted prog\" -hash x", {"-hash", "x"}},
  };
  for (const Case& c : cases) EXPECT_EQ(CommandLineArguments(c.line), c.arguments) << c.line;
}

TEST(CommandLine, AsciiLowerCaseTouchesOnlyAsciiCapitals) {
  EXPECT_EQ(AsciiLowerCase("-HaSh"), "-hash");
  EXPECT_EQ(AsciiLowerCase("@[`{"), "@[`{");
  EXPECT_EQ(AsciiLowerCase("\xC4\xD6\xDC"), "\xC4\xD6\xDC");
  EXPECT_EQ(AsciiLowerCase(std::string("A\0B", 3)), std::string("a\0b", 3));
}

}  // namespace
}  // namespace kelvane
