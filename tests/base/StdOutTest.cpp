#include <gtest/gtest.h>

#include <string>

#include "base/Exceptions.h"
#include "base/StdOut.h"
#include "tests/support/TestSupport.h"

namespace kelvane {
namespace {

using testing::kEol;
using testing::Output;

// A pipe or a file gets one write per 32 KiB, and the rest at a flush: never more.
TEST(StdOutTest, NonConsoleHandsOnFull32KiBPiecesAndTheRestAtFlush) {
  constexpr std::size_t kFull = 32 * 1024;
  Output output(false);
  WriteLine("abc");
  EXPECT_TRUE(Output::Pieces.empty());
  const std::size_t rest = kFull - (3 + kEol.size()) - kEol.size();
  WriteLine(std::string(rest, 'x'));  // exactly one full buffer
  EXPECT_EQ(Output::Pieces.size(), 1u);
  WriteLine(std::string(2 * kFull + 300, 'y'));  // two full pieces, the rest held back
  EXPECT_EQ(Output::Pieces.size(), 3u);
  std::string lines;
  for (int i = 0; i < 10'000; ++i) {
    lines += std::string(40 + i % 30, 'a' + i % 26) + kEol;
    WriteLine(
        std::string_view(lines).substr(lines.size() - kEol.size() - 40 - i % 30, 40 + i % 30));
  }
  FlushStdOut();
  FlushStdOut();  // nothing left: nothing handed on
  const std::size_t total = Output::Text().size();
  ASSERT_EQ(Output::Pieces.size(), (total + kFull - 1) / kFull);
  for (std::size_t i = 0; i + 1 < Output::Pieces.size(); ++i)
    EXPECT_EQ(Output::Pieces[i].size(), kFull);
  EXPECT_EQ(Output::Text(), "abc" + kEol + std::string(rest, 'x') + kEol +
                                std::string(2 * kFull + 300, 'y') + kEol + lines);
}

TEST(StdOutTest, ConsoleGetsEveryLineAsItEndsWithBytesUnchanged) {
  Output output(true);
  std::string expected;
  for (const std::string& line :
       {std::string("a\0b\n\xFF\xE9", 6), std::string(), std::string(200, 'z')}) {
    WriteLine(line);
    expected += line + kEol;
    EXPECT_EQ(Output::Text(), expected);
  }
}

TEST(StdOutTest, FailedWriteRaisesAfterTheLineAndAtEveryLaterCheck) {
  for (const bool console : {true, false}) {
    Output output(console);
    Output::Failing = true;
    if (console) {
      EXPECT_THROW(WriteLine("lost"), EInOutError);
      EXPECT_EQ(Output::Text(), "lost" + kEol);  // the line was attempted in full
    } else {
      WriteLine("held");  // still in the buffer: nothing has failed yet
      EXPECT_THROW(FlushStdOut(), EInOutError);
    }
    Output::Failing = false;
    EXPECT_THROW(WriteLine("next"), EInOutError);
    EXPECT_THROW(FlushStdOut(), EInOutError);
  }
  Output output(false);  // a full buffer that cannot be handed on fails its line
  Output::Failing = true;
  EXPECT_THROW(WriteLine(std::string(32 * 1024 + 2, 'q')), EInOutError);
}

}  // namespace
}  // namespace kelvane
