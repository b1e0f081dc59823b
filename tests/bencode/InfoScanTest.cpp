#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "base/Exceptions.h"
#include "bencode/BDecode.h"
#include "bencode/InfoScan.h"

namespace kelvane {
namespace {

using namespace std::string_literals;
using TKind = TScannedValue::TKind;

const TScanKeys kKeys{{"announce", "info", "a"}, {"name", "a", "length", "x"}};

// A decoded value as text. Tables cannot list their keys, so a table shows the keys these tests
// use and the number of all its entries.
std::string Show(const TObject* value) {
  if (value == nullptr) return "null";
  if (const auto* scalar = dynamic_cast<const TIntString*>(value)) {
    if (scalar->IsInt) return "i" + std::to_string(scalar->IntValue);
    return "'" + scalar->StrValue + "'" + std::to_string(scalar->StrLength);
  }
  std::string text;
  if (const auto* list = dynamic_cast<const TObjectList*>(value)) {
    for (std::size_t i = 0; i < list->Count(); ++i) text += Show(list->Item(i)) + ",";
    return "[" + text + "]";
  }
  const auto& hash = dynamic_cast<const TObjectHash&>(*value);
  for (const char* key : {"a", "x", "name", "length", "info"})
    if (hash.Exists(key)) text += key + "="s + Show(hash.Items(key)) + ",";
  return "{" + text + std::to_string(hash.LastValueSlot() + 1) + "}";
}

TKind KindOf(const TObject* value) {
  if (const auto* scalar = dynamic_cast<const TIntString*>(value))
    return scalar->IsInt ? TKind::Integer : TKind::String;
  return dynamic_cast<const TObjectList*>(value) ? TKind::List : TKind::Dictionary;
}

// A range entry as the per-file path reads it: the kind, and the number an integer holds.
std::string ShowRangeEntry(TKind kind, std::int64_t number) {
  return kind == TKind::Integer ? std::to_string(number) : std::to_string(int(kind));
}

// What the decoder's tree says about the scanned facts, or the error it raised; then where the
// stream stands.
std::string FromTree(const std::string& input) {
  TMemoryStream stream(input);
  std::string text;
  try {
    const std::unique_ptr<TObject> root = DecodeStream(stream);
    const auto* hash = dynamic_cast<const TObjectHash*>(root.get());
    if (hash == nullptr) return "not a dictionary @" + std::to_string(stream.Position());
    for (const char* key : {"_info_start", "_info_length"}) {
      if (!hash->Exists(key)) continue;
      const TObject* value = hash->Items(key);
      const auto* scalar = dynamic_cast<const TIntString*>(value);
      text += key + "="s + ShowRangeEntry(KindOf(value), scalar ? scalar->IntValue : 0) + " ";
    }
    const TObjectHash* info = nullptr;
    if (hash->Exists("info")) info = dynamic_cast<const TObjectHash*>(hash->Items("info"));
    for (const auto& [table, keys] : {std::pair(hash, &kKeys.Root), std::pair(info, &kKeys.Info)})
      for (const std::string& key : *keys)
        if (table != nullptr && table->Exists(key))
          text += key + ":" + Show(table->Items(key)) + " ";
  } catch (const Exception& error) {
    text = error.ClassName() + (": " + error.Message());
  }
  return text + "@" + std::to_string(stream.Position());
}

// The same from a scan with windows of at most window bytes, or of the bytes in memory when window
// is 0. A noted value is shown as the decoder reads the bytes the scan says it took.
std::string FromScan(const std::string& input, std::size_t window) {
  TMemoryStream stream(input);
  std::unique_ptr<TInfoScanner> scanner = window == 0
                                              ? std::make_unique<TInfoScanner>(input)
                                              : std::make_unique<TInfoScanner>(stream, window);
  const auto position = [&] { return std::to_string(scanner->Position()); };
  std::string text;
  try {
    const TInfoScan scan = scanner->Scan(kKeys);
    if (window > 0) {
      EXPECT_EQ(stream.Position(), scanner->Position());
    }
    if (!scan.RootIsDictionary) return "not a dictionary @" + position();
    for (const auto& [key, entry] :
         {std::pair("_info_start", &scan.InfoStart), std::pair("_info_length", &scan.InfoLength)})
      if (entry->Kind != TKind::None)
        text += key + "="s + ShowRangeEntry(entry->Kind, entry->Integer) + " ";
    for (const auto& [values, keys] :
         {std::pair(&scan.Root, &kKeys.Root), std::pair(&scan.Info, &kKeys.Info)})
      for (std::size_t i = 0; i < keys->size(); ++i) {
        const TScannedValue& value = (*values)[i];
        if (value.Kind == TKind::None) continue;
        TMemoryStream bytes(input.substr(value.Offset, value.Length));
        const std::unique_ptr<TObject> decoded = DecodeStream(bytes);
        EXPECT_EQ(KindOf(decoded.get()), value.Kind);
        if (value.Kind == TKind::Integer) {
          EXPECT_EQ(dynamic_cast<TIntString&>(*decoded).IntValue, value.Integer);
        }
        text += (*keys)[i] + ":" + Show(decoded.get()) + " ";
      }
  } catch (const Exception& error) {
    if (window > 0) {
      EXPECT_EQ(stream.Position(), scanner->Position());
    }
    text = error.ClassName() + (": " + error.Message());
  }
  return text + "@" + position();
}

void ExpectSameAsDecoder(const std::string& input) {
  const std::string expected = FromTree(input);
  for (const std::size_t window : {0, 1, 2, 3, 7, 64, 1 << 20})
    ASSERT_EQ(FromScan(input, window), expected) << "window " << window << ": " << input;
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
      "d4:infod6:pieces2147483647:abc", "d4:infod6:pieces2147483648:abce"};
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
  const std::string pieces[] = {"d",
                                "l",
                                "e",
                                "e",
                                "i",
                                "-",
                                "7",
                                "0",
                                "4:",
                                "1:",
                                ":",
                                "x",
                                "4:info",
                                "4:name",
                                "1:a",
                                "1:x",
                                "8:announce",
                                "6:length",
                                "11:_info_start",
                                "12:_info_length",
                                "i12e",
                                "3:abc"};
  std::mt19937 random(15);
  for (int round = 0; round < 3000; ++round) {
    std::string input = random() % 4 == 0 ? "" : "d4:info";
    for (int count = random() % 40; count > 0; --count)
      input += pieces[random() % std::size(pieces)];
    ExpectSameAsDecoder(input);
  }
}

// A stream that counts the bytes it hands out, and may claim not to know its size.
struct TCountingStream : TMemoryStream {
  TCountingStream(const std::string& bytes, bool knowsSize)
      : TMemoryStream(bytes), KnowsSize(knowsSize) {}
  std::size_t Read(void* buffer, std::size_t count) override {
    const std::size_t got = TMemoryStream::Read(buffer, count);
    Delivered += got;
    return got;
  }
  std::int64_t Size() override { return KnowsSize ? TMemoryStream::Size() : -1; }
  bool KnowsSize;
  std::size_t Delivered = 0;
};

// A long string past the window is stepped over unread when the stream knows its size; read
// through when it does not. The bytes of a value are held when the window held them whole.
TEST(InfoScanTest, StepsOverLongStringsAndHoldsWhatItRead) {
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

}  // namespace
}  // namespace kelvane
