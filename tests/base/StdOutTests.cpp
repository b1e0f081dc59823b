#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "base/Exceptions.h"
#include "base/StdOut.h"

namespace kelvane {
namespace {

// Every piece handed on, in order; the writer fails while failing is set.
std::vector<std::string> pieces;
bool failing = false;

bool Capture(std::string_view bytes) {
  pieces.emplace_back(bytes);
  return !failing;
}

std::string All() {
  std::string all;
  for (const std::string& piece : pieces) all += piece;
  return all;
}

class StdOutTest : public ::testing::Test {
 protected:
  void Use(bool console) {
    pieces.clear();
    failing = false;
    SetStdOutWriter(Capture, console);
  }
  void TearDown() override { SetStdOutWriter(nullptr, false); }
};

void ExpectInOutError(void (*action)()) {
  try {
    action();
    ADD_FAILURE() << "no error raised";
  } catch (const Exception& error) {
    EXPECT_STREQ(error.ClassName(), "EInOutError");
  }
}

TEST_F(StdOutTest, NonConsoleHandsOnOnlyFull128BytePiecesUntilFlushed) {
  Use(false);
  WriteLine("abc");
  EXPECT_TRUE(pieces.empty());
  WriteLine(std::string(121, 'x'));  // 5 + 123 bytes: exactly one full buffer
  ASSERT_EQ(pieces.size(), 1u);
  EXPECT_EQ(pieces[0], "abc\r\n" + std::string(121, 'x') + "\r\n");
  WriteLine(std::string(300, 'y'));  // 302 bytes: two full pieces, 46 held back
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_EQ(pieces[1].size(), 128u);
  EXPECT_EQ(pieces[2].size(), 128u);
  FlushStdOut();
  ASSERT_EQ(pieces.size(), 4u);
  EXPECT_EQ(pieces[3], std::string(44, 'y') + "\r\n");
  FlushStdOut();  // nothing left: nothing handed on
  EXPECT_EQ(pieces.size(), 4u);
}

TEST_F(StdOutTest, ConsoleGetsEveryLineAsItEndsWithBytesUnchanged) {
  Use(true);
  const std::string odd("a\0b\n\xFF\xE9", 6);  // zero, bare LF and high bytes stay as they are
  WriteLine(odd);
  EXPECT_EQ(All(), odd + "\r\n");
  WriteLine("");
  EXPECT_EQ(All(), odd + "\r\n\r\n");
  WriteLine(std::string(200, 'z'));
  EXPECT_EQ(All(), odd + "\r\n\r\n" + std::string(200, 'z') + "\r\n");
}

TEST_F(StdOutTest, ConsoleWriteFailureRaisesAfterTheLineAndStaysFailed) {
  Use(true);
  failing = true;
  ExpectInOutError([] { WriteLine("lost"); });
  EXPECT_EQ(All(), "lost\r\n");  // the line was attempted in full
  failing = false;
  ExpectInOutError([] { WriteLine("next"); });
  ExpectInOutError(FlushStdOut);
}

TEST_F(StdOutTest, NonConsoleWriteFailureRaisesWhenHandedOnAndStaysFailed) {
  Use(false);
  failing = true;
  WriteLine("held");  // still in the buffer: nothing has failed yet
  ExpectInOutError(FlushStdOut);
  failing = false;
  ExpectInOutError([] { WriteLine("x"); });
  ExpectInOutError(FlushStdOut);

  Use(false);  // a full buffer that cannot be handed on fails its line
  failing = true;
  ExpectInOutError([] { WriteLine(std::string(130, 'q')); });
  ExpectInOutError(FlushStdOut);
}

}  // namespace
}  // namespace kelvane
