#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "bencode/BDecode.h"

namespace kelvane {
namespace {

using namespace std::string_literals;

// What call returns, or the class and message of what it raises.
std::string Outcome(const auto& call) {
  try {
    return call();
  } catch (const Exception& e) {
    return e.ClassName() + (": " + e.Message());
  }
}

// Renders a decoded tree. A table shows the keys these tests use and "+n" for
// any others; a string left in the stream shows as <length@offset>.
std::string Show(const TObject* value) {
  if (value == nullptr) return "null";
  if (const auto* scalar = dynamic_cast<const TIntString*>(value)) {
    if (scalar->IsInt) return "i"s += std::to_string(scalar->IntValue);
    if (scalar->StrLength == 0) return "'"s += scalar->StrValue + "'";
    return ("<"s += std::to_string(scalar->StrLength)) + "@" + std::to_string(scalar->StrOffset) +
           ">";
  }
  std::string text;
  if (const auto* list = dynamic_cast<const TObjectList*>(value)) {
    for (std::size_t i = 0; i < list->Count(); ++i)
      text.append(i ? "," : "") += Show(list->Item(i));
    return "[" + text + "]";
  }
  const auto& hash = dynamic_cast<const TObjectHash&>(*value);
  int shown = 0;
  for (const char* key : {"a", "x", "info", "_info_start", "_info_length"})
    if (hash.Exists(key)) text += (shown++ ? ","s : ""s) + key + "=" + Show(hash.Items(key));
  if (const int more = hash.LastValueSlot() + 1 - shown) (text += "+") += std::to_string(more);
  return ("{"s += text) + "}";
}

// What decoding a stream made from args gives, and the stream position after it.
template <class TStreamKind = TMemoryStream>
std::string Decode(const auto&... args) {
  TStreamKind stream(args...);
  const std::string shown = Outcome([&] { return Show(DecodeStream(stream).get()); });
  return shown + " @" + std::to_string(stream.Position());
}

TEST(DecodeStreamTest, DecodesTheLenientGrammar) {
  // clang-format off
  const std::pair<std::string, std::string> rows[] = {
      {"", "null @0"}, {"x", "null @1"}, {"e", "null @1"}, {"i42e", "i42 @4"}, {"ie", "i0 @2"},
      {"i-42e", "i-42 @5"}, {"i4-2e", "i-42 @5"}, {"i--42e", "i-42 @6"}, {"i42-e", "i-42 @5"},
      {"i-e", "i0 @3"}, {"i-0e", "i0 @4"}, {"i42", "i42 @3"}, {"i42xe", "i42 @4"}, {"le", "[] @2"},
      {"i9223372036854775807e", "i9223372036854775807 @21"}, {"i18446744073709551617e", "i1 @22"},
      {"i9223372036854775808e", "i-9223372036854775808 @21"}, {"4:spam", "'spam' @6"},
      {"4xspam", "'spam' @6"}, {"0:", "'' @2"}, {"05:abcde", "'abcde' @8"}, {"4:sp", "'sp' @4"},
      {"3:a\0b"s, "'a\0b' @5"s}, {"4294967300:abcd", "<4@11> @15"}, {"2147483648:abcd", "<4@11> @15"},
      {"2147483647:abcdefgh", "<8@11> @19"}, {"li1exi2ee", "[i1,i2] @9"}, {"li1e", "[i1] @4"},
      {"d1:ai1e1:ai2ee", "{a=i2} @14"}, {"d0:i1ee", "{} @7"}, {"d3:fooxe", "{} @8"},
      {"d3:fooe", "{} @7"}, {"d3:fooee", "{} @8"}, {"dexyz", "{} @2"}, {"d5:info", "{} @7"},
      {"di1:ai1ee", "EConvertError: 'i' is not a valid integer value @2"},
      {"d1:ai1e\xff" "1:ai1ee", "EConvertError: '\xff' is not a valid integer value @8"},
      {"d\0" "1:ai1ee"s, "EConvertError: '\0' is not a valid integer value @2"s},
      {"d4:infod1:ai5eee", "{info={a=i5},_info_start=i7,_info_length=i8} @16"},
      {"d4:infoi1ee", "{info=i1,_info_start=i7,_info_length=i3} @11"},
      {"d2147483647:info", "{} @16"},
      {"d4:infoxe", "{_info_start=i7,_info_length=i1} @9"},
      {"d1:xd4:infoi1eee", "{x={info=i1,_info_start=i11,_info_length=i3}} @16"},
      {"d11:_info_starti5e4:infoi1ee", "{info=i1,_info_start=i24,_info_length=i3} @28"},
      {"d4:infoi1e11:_info_starti5ee", "{info=i1,_info_start=i5,_info_length=i3} @28"},
      {"d4:infoi1e4:infoi22ee", "{info=i22,_info_start=i16,_info_length=i4} @21"}};
  // clang-format on
  for (const auto& [input, expected] : rows) EXPECT_EQ(Decode(input), expected) << input;
}

// Only the end of the stream inside the info value takes its length away; the end anywhere else
// leaves the value as it was read.
TEST(DecodeStreamTest, AnInfoValueTheStreamEndsInsideHasNoLength) {
  // clang-format off
  const std::pair<std::string, std::string> rows[] = {
      {"d4:info", "{_info_start=i7,_info_length=i-1} @7"},
      {"d4:infoi12", "{info=i12,_info_start=i7,_info_length=i-1} @10"},
      {"d4:info0", "{info='',_info_start=i7,_info_length=i-1} @8"},
      {"d4:info3:ab", "{info='ab',_info_start=i7,_info_length=i-1} @11"},
      {"d4:info1048577:ab", "{info=<2@15>,_info_start=i7,_info_length=i-1} @17"},
      {"d4:infold1:ai1e1:x", "{info=[{a=i1}],_info_start=i7,_info_length=i-1} @18"},
      {"d4:infoi1e4:info", "{info=i1,_info_start=i16,_info_length=i-1} @16"},
      {"d4:infol1:ae", "{info=['a'],_info_start=i7,_info_length=i5} @12"},
      {"d4:infoi1e4:inf", "{info=i1,_info_start=i7,_info_length=i3} @15"},
      {"d4:info1048577:" + std::string(1048577, 'p') + "1:", "{info=<1048577@15>,_info_start=i7,"
          "_info_length=i1048585} @1048594"}};
  // clang-format on
  for (const auto& [input, expected] : rows)
    EXPECT_EQ(Decode(input), expected) << input.substr(0, 20);
}

// A declared length is the number its digits write, however many there are: it never wraps, and
// one past 63 bits asks for more than any stream holds. Either way the string runs to the stream's
// end, which inside the info value takes the value's length away and after it leaves the length.
TEST(DecodeStreamTest, ReadsDeclaredLengthsWithoutWrapping) {
  for (const std::string length : {"4294967316", "2147483648", "9223372036854775807",
                                   "9223372036854775808", "99999999999999999999"}) {
    const std::string inside =
        "d4:infod6:pieces" + length + ":" + std::string(20, 'A') + "4:name1:nee";
    EXPECT_EQ(Decode(inside),
              "{info={+1},_info_start=i7,_info_length=i-1} @" + std::to_string(inside.size()));
    const std::string after = "d4:infoi1e1:x" + length + ":abce";
    EXPECT_EQ(Decode(after), "{x=<4@" + std::to_string(after.size() - 4) +
                                 ">,info=i1,_info_start=i7,_info_length=i3} @" +
                                 std::to_string(after.size()));
  }
  EXPECT_EQ(Decode("9223372036854775807:" + std::string(1048577, 'a')), "<1048577@20> @1048597");
}

TEST(DecodeStreamTest, LimitsNesting) {
  const std::size_t n = kMaxNestingDepth;
  EXPECT_EQ(Decode(std::string(1000, 'l') + std::string(1000, 'e')),
            std::string(1000, '[') + std::string(1000, ']') + " @2000");
  EXPECT_EQ(Decode(std::string(n, 'l')), std::string(n, '[') + std::string(n, ']') + " @1024");
  EXPECT_EQ(Decode(std::string(n - 1, 'l') + "d1:ai1ee"),
            std::string(n - 1, '[') + "{a=i1}" + std::string(n - 1, ']') + " @1031");
  const std::string refused = "ENestingTooDeep: Nesting too deep @1025";
  EXPECT_EQ(Decode(std::string(n, 'l') + "d1:ai1ee"), refused);
  EXPECT_EQ(Decode(std::string(10'000'000, 'l')), refused);
}

// A v2 file tree marks each file with the empty key, which the table holds apart; the other keys
// can be walked in the order the file gives them.
TEST(DecodeStreamTest, KeepsTheEmptyKeysValueAndTheKeysInFileOrder) {
  TMemoryStream stream("d1:bd0:d6:lengthi7eee1:ai2e0:i3e0:i4e1:bi5e4:infoi6ee");
  const auto root = DecodeStream(stream);
  const auto& hash = dynamic_cast<const TObjectHash&>(*root);
  EXPECT_EQ(Show(hash.EmptyKeyValue()), "i4");
  std::string keys;
  for (std::int32_t i = 0; i < hash.KeyCount(); ++i)
    keys += hash.KeyAt(i) + "=" + Show(hash.ValueAt(i)) + ";";
  EXPECT_EQ(keys, "b=i5;a=i2;info=i6;_info_start=i49;_info_length=i3;");
  TMemoryStream file("d0:d6:lengthi7eee");
  const auto fileRoot = DecodeStream(file);
  const auto* inner = dynamic_cast<const TObjectHash&>(*fileRoot).EmptyKeyValue();
  EXPECT_EQ(Show(dynamic_cast<const TObjectHash&>(*inner).Items("length")), "i7");
}

}  // namespace
}  // namespace kelvane
