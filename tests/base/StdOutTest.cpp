#include <gtest/gtest.h>

#include <string>

#include "base/Exceptions.h"
#include "base/StdOut.h"
#include "tests/support/TestSupport.h"

namespace kelvane {
namespace {

using testing::kEol;
using testing::Output;

TEST(StdOutTest, NonConsoleHandsOnFull128BytePiecesAndTheRestAtFlush) {
  Output output(false);
  WriteLine("abc");
  EXPECT_TRUE(Output::Pieces.empty());
  const std::size_t rest = 128 - (3 + kEol.size()) - kEol.size();
  WriteLine(std::string(rest, 'x'));  // exactly one full buffer
  EXPECT_EQ(Output::Pieces.size(), 1u);
  WriteLine(std::string(300, 'y'));  // two full pieces, the rest held back
  FlushStdOut();
  FlushStdOut();  // nothing left: nothing handed on
  ASSERT_EQ(Output::Pieces.size(), 4u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Output::Pieces[i].size(), 128u);
  EXPECT_EQ(Output::Text(),
            "abc" + kEol + std::string(rest, 'x') + kEol + std::string(300, 'y') + kEol);
}

// What the buffer held goes first, in a piece of its own; then pieces of the new size.
TEST(StdOutTest, ALargerBufferGathersLongerPieces) {
  Output output(false);
  WriteLine("abc");
  SetStdOutBufferSize(1000);
  for (int i = 0; i < 3; ++i) WriteLine(std::string(400 - kEol.size(), 'r'));
  FlushStdOut();
  ASSERT_EQ(Output::Pieces.size(), 3u);
  EXPECT_EQ(Output::Pieces[0], "abc" + kEol);
  EXPECT_EQ(Output::Pieces[1].size(), 1000u);
  EXPECT_EQ(Output::Pieces[2].size(), 200u);
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
  EXPECT_THROW(WriteLine(std::string(130, 'q')), EInOutError);
}

}  // namespace
}  // namespace kelvane
