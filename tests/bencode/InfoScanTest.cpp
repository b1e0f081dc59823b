#include <deque>
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "base/Exceptions.h"
#include "bencode/BDecode.h"
#include "bencode/InfoScan.h"
#include "fuzz/ScanAgainstTree.h"

namespace kelvane {
namespace {

using namespace std::string_literals;

// What the scanner notes of each input, read in windows of several sizes from a stream that
// tells its size and from one that cannot, must be what the decoder's tree holds: the comparison
// the fuzz target makes of every input.
void ExpectSameAsDecoder(const std::string& input) {
  const std::string expected = fuzz::FromTree(input);
  for (const std::size_t window : {0, 1, 2, 3, 7, 64, 1 << 20})
    for (const bool knowsSize : {true, false})
      ASSERT_EQ(fuzz::FromScan(input, window, knowsSize), expected)
          << "window " << window << (knowsSize ? "" : " of unknown size") << ": " << input;
}

TEST(InfoScanTest, ReadsEveryFormAsTheDecoderDoes) {
  // clang-format off
  const std::string rows[] = {
      "", "x", "e", "i42e", "4:spam", "le", "li1e", "dexyz", "d5:info", "d4:info", "d4:infoi12",
      "d4:info0", "d4:info3:ab", "d4:infoxe", "d4:infoee", "d4:infoi1e4:info", "d4:infol1:ae",
      "d4:infoi1e4:inf", "d2147483647:info", "d4294967300:infoi1ee", "d0:i1e4:infoi2ee",
      "di1:ai1ee", "d1:ai1e\xff" "1:ai1ee", "d\0" "1:ai1ee"s, "d3:fooxe", "d3:fooe",
      "d4:infod1:ai5eee", "d1:xd4:infoi1eee", "d11:_info_starti5e4:infoi1ee",
      "d4:infoi1e11:_info_starti5ee", "d4:infoi1e4:infoi22ee", "d4:infoi1e11:_info_start3:abce",
      "d4:infoi1e12:_info_lengthli1eee", "d4:infoi1e11:_info_startd1:ai1eee",
      "d4:infoi1e11:_info_starti9", "d4:infoi1e12:_info_lengthxe", "d4:infoi1e11:_info_start",
      "d4:infod4:name3:abc6:lengthi5e1:xl1:aee8:announce3:urle",
      "d4:infod4:name1:ae4:infoxe", "d4:infod4:name1:ae4:infoi1ee", "d4:infod4:name1:ae4:infod1:xi1eee",
      "d4:infold4:name1:aeee", "d4:infod4:name1:a4:name2:bbe", "d4:infod1:ad4:name1:zeee",
      "d4:infod4:name1:ae4:infod1:ai1e", "d4:infod6:lengthi1e6:lengthd1:ai1eee",
      "d8:announce4:spam8:announcexe", "d8:announce4:spam8:announcei1ee", "d1:ad1:ai1eee",
      "d4:infod4:name8:abcdefgh1:xi-5ee1:ali1ei2e3:xyz0:ee", "d4:infod4:name12:", "d4:infod4:nam",
      "d4:infod2:na", "lllleeee", "ld4:infoi1eee", "d4:infod4:infod4:name1:aeee",
      "d4:infol" + std::string(100, '\0') + "e" + std::string(50, 'Z') + "e", "d4:infoi1e1:ae",
      "d4:infod6:pieces2147483647:abc", "d4:infod6:pieces2147483648:abce",
      "d4:infod6:pieces4294967316:AAAAAAAAAAAAAAAAAAAA4:name1:n6:lengthi5eee",
      "d4:infoi1e1:x4294967316:abce", "d4:infod4:name9223372036854775807:abe",
      "d4:infoi1e1:x9223372036854775807:abce", "d4:info9223372036854775808:ab",
      "d4:infod4:name99999999999999999999:abe", "d4:infoi1e4:name99999999999999999999:abce",
      "d99999999999999999999:infoi1ee", "d4:infold1:ai1eelli1eei5eee1:ai1ee",
      "d4:infolld1:ad1:ai1eeelllleeeei5eee1:ai1ee", "d4:infolllllllllllllllllleeeeeeeeeeeeeeeei1eee"};
  // clang-format on
  for (const std::string& input : rows) ExpectSameAsDecoder(input);
}

TEST(InfoScanTest, RefusesNestingWhereTheDecoderDoes) {
  const std::size_t n = kMaxNestingDepth;
  for (const std::string& input :
       {std::string(n, 'l'), std::string(n - 1, 'l') + "d1:ai1ee", std::string(n, 'l') + "d1:ai1ee",
        "d4:info" + std::string(n - 1, 'l') + std::string(n - 1, 'e') + "e",
        "d4:info" + std::string(n, 'l') + std::string(n, 'e') + "e",
        "d4:infod" + std::string(n - 2, 'l') + "x"})
    ExpectSameAsDecoder(input);
}

// Random inputs built from the grammar's pieces, both whole and cut: the scan and the decoder
// must agree on every one.
TEST(InfoScanTest, AgreesWithTheDecoderOnRandomStructure) {
  // clang-format off
  const std::string pieces[] = {"d", "l", "e", "e", "i", "-", "7", "0", "4:", "1:", ":", "x",
      "4:info", "4:name", "1:a", "1:x", "8:announce", "6:length", "11:_info_start",
      "12:_info_length", "i12e", "3:abc"};
  // clang-format on
  std::mt19937 random(15);
  for (int round = 0; round < 3000; ++round) {
    std::string input = random() % 4 == 0 ? "" : "d4:info";
    for (int count = random() % 80; count > 0; --count)
      input += pieces[random() % std::size(pieces)];
    ExpectSameAsDecoder(input);
  }
}

// A stream that counts the bytes it hands out and notes where the last of its reads that
// delivered any began and ended; it may claim not to know its size.
struct TCountingStream : TMemoryStream {
  TCountingStream(const std::string& bytes, bool knowsSize)
      : TMemoryStream(bytes), KnowsSize(knowsSize) {}
  std::size_t Read(void* buffer, std::size_t count) override {
    const std::int64_t at = Position();
    const std::size_t got = TMemoryStream::Read(buffer, count);
    Delivered += got;
    if (got != 0) LastRead = {at, at + std::int64_t(got)};
    return got;
  }
  std::int64_t Size() override { return KnowsSize ? TMemoryStream::Size() : -1; }
  bool KnowsSize;
  std::size_t Delivered = 0;
  std::pair<std::int64_t, std::int64_t> LastRead;
};

// After a scan that ends inside its last window, Held gives the bytes of every range in that
// window and of no range reaching a byte past either of its ends.
TEST(InfoScanTest, HoldsTheLastWindowToTheByte) {
  const std::string input = "d8:announce3:url4:infod6:lengthi12345e4:name5:helloee";
  for (const std::size_t window : {5, 8, 13, 64})
    for (const bool knowsSize : {true, false}) {
      TCountingStream stream(input, knowsSize);
      TInfoScanner scanner(stream, window);
      scanner.Scan({{"announce"}, {"name"}});
      const auto [first, end] = stream.LastRead;
      for (std::int64_t offset = first - 2; offset <= end + 2; ++offset)
        for (std::int64_t length = 0; offset + length <= end + 2; ++length) {
          std::string_view bytes;
          const bool inside = length == 0 || (offset >= first && offset + length <= end);
          ASSERT_EQ(scanner.Held(offset, length, bytes), inside)
              << window << " " << offset << "+" << length;
          if (length > 0 && inside) {
            EXPECT_EQ(bytes, input.substr(offset, length));
          }
        }
    }
}

// A long string past the window is stepped over unread when the stream knows its size; read
// through when it does not. The bytes of a value are held when the window held them whole.
TEST(InfoScanTest, StepsOverLongStringsAndHoldsWhatItRead) {
  const TScanKeys kKeys{{"announce", "info", "a"}, {"name"}};
  const std::string pieces(300000, 'p');
  const std::string info = "d4:name1:a6:pieces300000:" + pieces + "e";
  const std::string input = "d4:info" + info + "1:ai1ee";
  for (const bool knowsSize : {true, false}) {
    TCountingStream stream(input, knowsSize);
    TInfoScanner scanner(stream, 4096);
    const TInfoScan scan = scanner.Scan(kKeys);
    EXPECT_EQ(scan.InfoLength.Integer, std::ssize(info));
    EXPECT_EQ(scan.Info[0].Offset, 14);
    std::string_view bytes;
    EXPECT_EQ(scanner.Held(scan.InfoStart.Integer, scan.InfoLength.Integer, bytes), false);
    EXPECT_TRUE(scanner.Held(scan.Root[2].Offset, scan.Root[2].Length, bytes));
    EXPECT_EQ(bytes, "i1e");
    EXPECT_EQ(stream.Position(), std::ssize(input));
    EXPECT_EQ(stream.Delivered < 3 * 4096, knowsSize) << stream.Delivered;
  }
  TCountingStream whole(input, true);
  TInfoScanner scanner(whole, 1 << 20);
  const TInfoScan scan = scanner.Scan(kKeys);
  std::string_view bytes;
  ASSERT_TRUE(scanner.Held(scan.InfoStart.Integer, scan.InfoLength.Integer, bytes));
  EXPECT_EQ(bytes, info);
  EXPECT_EQ(whole.Delivered, input.size());
}

// With taps, the info value's bytes are handed on and the watched values kept whatever the
// window, the long string inside the info value read through even where the stream could step
// over it; bytes outside every tap are still stepped over.
TEST(InfoScanTest, HandsOnTheInfoBytesAndKeepsWatchedValues) {
  struct TCollect final : TInfoSink {
    void Begin(std::int64_t offset) override { Start = offset, Bytes.clear(); }
    void Take(const char* bytes, std::size_t count) override { Bytes.append(bytes, count); }
    std::int64_t Start = -1;
    std::string Bytes;
  };
  const std::string info = "d4:name1:a6:pieces300000:" + std::string(300000, 'p') + "e";
  const std::string input = "d1:a3:abc1:b300000:" + std::string(300000, 'q') + "4:info" + info +
                            "e";
  TCountingStream stream(input, true);
  TInfoScanner scanner(stream, 4096);
  TCollect collected;
  const TInfoScan scan = scanner.Scan({{"a"}, {"name"}}, {&collected, true});
  EXPECT_EQ(collected.Start, scan.InfoStart.Integer);
  EXPECT_EQ(collected.Bytes, info);
  EXPECT_EQ(scan.Info[0].Bytes, "1:a");
  EXPECT_EQ(scan.Root[0].Bytes, "3:abc");
  EXPECT_LT(stream.Delivered, input.size() - 290000);
}

// A sink may read the bytes of a Take until kLentTakes more Takes, a Begin or a Settle: the
// scanner leaves them as they were until then, reading on into other buffers, and settles the sink
// before Scan returns or raises; the bytes handed on are the info value's still, whatever the
// window.
TEST(InfoScanTest, LeavesTheBytesASinkTookUntilItsLaterCalls) {
  struct TChecking final : TInfoSink {
    void Begin(std::int64_t offset) override { Check(true), Start = offset, Bytes.clear(); }
    void Take(const char* bytes, std::size_t count) override {
      Check(false);
      Lent.emplace_back(bytes, std::string(bytes, count));
      Bytes.append(bytes, count);
    }
    void Settle() override { Check(true), Settled = true; }
    // Every Take still lent holds its bytes; the oldest is returned once kLentTakes followed it.
    void Check(bool all) {
      for (const auto& [bytes, copy] : Lent) EXPECT_EQ(std::string_view(bytes, copy.size()), copy);
      if (all) Lent.clear();
      if (Lent.size() == kLentTakes) Lent.pop_front();
      Settled = false;
    }
    std::deque<std::pair<const char*, std::string>> Lent;
    std::string Bytes;
    std::int64_t Start = -1;
    bool Settled = false;
  };
  std::string text;
  for (int i = 0; text.size() < 5000; ++i) text += std::to_string(i * 7919 % 1000) + ",";
  const std::string info = "d4:text" + std::to_string(text.size()) + ":" + text + "e";
  const std::string input = "d4:info3:abc4:info" + info + "1:zl" + text.substr(0, 3000) + "ee";
  for (const std::size_t window : {1, 7, 64, 1000, 4096, 1 << 20})
    for (const bool knowsSize : {true, false}) {
      TCountingStream stream(input, knowsSize);
      TInfoScanner scanner(stream, window);
      TChecking sink;
      scanner.Scan({}, {&sink, false});
      EXPECT_EQ(sink.Bytes, info) << window;
      EXPECT_TRUE(sink.Settled) << window;
      // Raised inside the info value: settled all the same.
      TCountingStream broken("d4:info" + info.substr(0, info.size() - 1) + "xe", knowsSize);
      TInfoScanner raising(broken, window);
      TChecking left;
      EXPECT_THROW(raising.Scan({}, {&left, false}), EConvertError);
      EXPECT_TRUE(left.Settled) << window;
    }
}

}  // namespace
}  // namespace kelvane
