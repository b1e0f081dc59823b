#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "bencode/BDecode.h"

namespace kelvane {
namespace {

using namespace std::string_literals;

// Renders a decoded tree. Tables cannot list their keys, so a table shows the
// keys these tests use and "+n" for any others.
std::string Show(const TObject* value) {
  if (value == nullptr) return "null";
  if (const auto* scalar = dynamic_cast<const TIntString*>(value)) {
    return scalar->IsInt ? "i" + std::to_string(scalar->IntValue) : "'" + scalar->StrValue + "'";
  }
  std::string text;
  if (const auto* list = dynamic_cast<const TObjectList*>(value)) {
    for (std::size_t i = 0; i < list->Count(); ++i) text += (i ? "," : "") + Show(list->Item(i));
    return "[" + text + "]";
  }
  const auto& hash = dynamic_cast<const TObjectHash&>(*value);
  int shown = 0;
  for (const char* key : {"a", "x", "length", "info", "_info_start", "_info_length"}) {
    if (hash.Exists(key))
      text += (shown++ ? "," : "") + std::string(key) + "=" + Show(hash.Items(key));
  }
  if (const int more = hash.LastValueSlot() + 1 - shown) text += "+" + std::to_string(more);
  return "{" + text + "}";
}

std::string Repeat(const std::string& part, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += part;
  return text;
}

// Decodes bytes and shows the result followed by the stream position after it.
std::string Decode(const std::string& bytes) {
  TMemoryStream stream(bytes);
  const std::string shown = Show(DecodeStream(stream).get());
  return shown + " @" + std::to_string(stream.Position());
}

TEST(DecodeStreamTest, DecodesTheLenientGrammar) {
  // clang-format off
  const std::pair<std::string, std::string> rows[] = {
      {"", "null @0"}, {"x", "null @1"}, {"e", "null @1"},
      {"i42e", "i42 @4"}, {"i-42e", "i-42 @5"}, {"i4-2e", "i-42 @5"}, {"i--42e", "i-42 @6"},
      {"i42-e", "i-42 @5"}, {"ie", "i0 @2"}, {"i-e", "i0 @3"}, {"i-0e", "i0 @4"},
      {"i42", "i42 @3"}, {"i42xe", "i42 @4"},
      {"i9223372036854775807e", "i9223372036854775807 @21"},
      {"i9223372036854775808e", "i-9223372036854775808 @21"}, {"i18446744073709551617e", "i1 @22"},
      {"4:spam", "'spam' @6"}, {"4xspam", "'spam' @6"}, {"0:", "'' @2"}, {"05:abcde", "'abcde' @8"},
      {"3:a\0b"s, "'a\0b' @5"s}, {"4:sp", "'sp' @4"}, {"4294967300:abcd", "'abcd' @15"},
      {"2147483648:abcd", "'' @11"},
      {"le", "[] @2"}, {"li1exi2ee", "[i1,i2] @9"}, {"li1e", "[i1] @4"},
      {"d1:ai1e1:ai2ee", "{a=i2} @14"}, {"d0:i1ee", "{} @7"}, {"d3:fooxe", "{} @8"},
      {"d3:fooe", "{} @7"}, {"d3:fooee", "{} @8"}, {"dexyz", "{} @2"}, {"d5:info", "{} @7"},
      {"d4:infod6:lengthi5eee", "{info={length=i5},_info_start=i7,_info_length=i13} @21"},
      {"d4:infoi1ee", "{info=i1,_info_start=i7,_info_length=i3} @11"},
      {"d4:info", "{_info_start=i7,_info_length=i0} @7"},
      {"d4:infoxe", "{_info_start=i7,_info_length=i1} @9"},
      {"d1:xd4:infoi1eee", "{x={info=i1,_info_start=i11,_info_length=i3}} @16"},
      {"d11:_info_starti5e4:infoi1ee", "{info=i1,_info_start=i24,_info_length=i3} @28"},
      {"d4:infoi1e11:_info_starti5ee", "{info=i1,_info_start=i5,_info_length=i3} @28"},
      {"d4:infoi1e4:infoi22ee", "{info=i22,_info_start=i16,_info_length=i4} @21"}};
  // clang-format on
  for (const auto& [input, expected] : rows) EXPECT_EQ(Decode(input), expected) << input;
}

TEST(DecodeStreamTest, RefusesAKeyThatIsNotAString) {
  for (const std::string& input : {"di"s, "d1:ai1e\xff"s, "d\0"s}) {
    TMemoryStream stream(input + "1:ai1ee");
    try {
      DecodeStream(stream);
      ADD_FAILURE() << "no exception for " << input;
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), "'"s + input.back() + "' is not a valid integer value");
      EXPECT_EQ(stream.Position(), static_cast<std::int64_t>(input.size()));
    }
  }
}

TEST(DecodeStreamTest, LimitsNesting) {
  for (const std::size_t depth : {1000, kMaxNestingDepth}) {
    EXPECT_EQ(Decode(Repeat("l", depth) + Repeat("e", depth)),
              Repeat("[", depth) + Repeat("]", depth) + " @" + std::to_string(2 * depth));
    TMemoryStream dicts(Repeat("d1:a", depth) + "i1e" + Repeat("e", depth));
    EXPECT_EQ(Show(DecodeStream(dicts).get()), Repeat("{a=", depth) + "i1" + Repeat("}", depth));
  }
  for (const std::string& unit : {"l"s, "d1:a"s}) {
    TMemoryStream just_over(Repeat(unit, kMaxNestingDepth + 1));
    EXPECT_THROW(DecodeStream(just_over), ENestingTooDeep) << unit;
    TMemoryStream hostile(Repeat(unit, 10'000'000 / unit.size()));
    EXPECT_THROW(DecodeStream(hostile), ENestingTooDeep) << unit;
  }
}

// Delivers at most 1000 bytes a read, reports no size, and runs out of memory
// when its countdown of reads reaches zero.
struct TAwkwardStream : TMemoryStream {
  using TMemoryStream::TMemoryStream;
  std::size_t Read(void* buffer, std::size_t count) override {
    if (ReadsLeft-- == 0) throw std::bad_alloc();
    return TMemoryStream::Read(buffer, std::min<std::size_t>(count, 1000));
  }
  std::int64_t Size() override { return 0; }
  int ReadsLeft = -1;
};

TEST(DecodeStreamTest, ReadsDeclaredLengthsWithoutTrustingThem) {
  // A long value stays in the stream; only where its delivered bytes lie is kept.
  TMemoryStream forged("2147483647:abcdefgh");
  auto huge = DecodeStream(forged);
  const auto& left = dynamic_cast<const TIntString&>(*huge);
  EXPECT_EQ(left.StrValue, "");
  EXPECT_EQ(left.StrOffset, 11);
  EXPECT_EQ(left.StrLength, 8);
  EXPECT_EQ(forged.Position(), 19);
  // A key is always held, so a forged one costs only what the stream holds.
  TMemoryStream forgedKey("d2147483647:info");
  auto keyed = DecodeStream(forgedKey);
  EXPECT_EQ(dynamic_cast<const TObjectHash&>(*keyed).LastValueSlot(), -1);

  const std::string content(200'000, 'q');
  EXPECT_EQ(Decode("300000:" + content), "'" + content + "' @200007");
  TAwkwardStream awkward("200000:" + content + "i1e");
  EXPECT_EQ(Show(DecodeStream(awkward).get()), "'" + content + "'");

  TAwkwardStream failing("d1:ali1ei2ee");
  failing.ReadsLeft = 6;
  try {
    DecodeStream(failing);
    ADD_FAILURE() << "no exception";
  } catch (const EOutOfMemory& e) {
    EXPECT_EQ(e.Message(), "Out of memory");
  }
}

TEST(DecodeStreamTest, FindsEveryKeyOfACrowdedBucket) {
  const std::uint32_t bucket = HashKey("100000zz") & 127;
  std::vector<std::string> keys;
  std::string input = "d";
  for (int i = 0; keys.size() < 200'000; ++i) {
    std::string key = std::to_string(i) + "zz";
    if ((HashKey(key) & 127) != bucket) continue;
    input += std::to_string(key.size()) + ":" + key + "i" + std::to_string(keys.size()) + "e";
    keys.push_back(std::move(key));
  }
  TMemoryStream stream(input + "e");
  auto root = DecodeStream(stream);
  const auto& hash = dynamic_cast<const TObjectHash&>(*root);
  ASSERT_EQ(hash.LastValueSlot() + 1, static_cast<std::int32_t>(keys.size()));
  for (std::size_t i = 0; i < keys.size(); ++i) {
    std::int32_t found_bucket = 0, position = 0;
    ASSERT_TRUE(hash.FindKey(keys[i], found_bucket, position)) << keys[i];
    EXPECT_EQ(found_bucket, static_cast<std::int32_t>(bucket));
    EXPECT_EQ(position, static_cast<std::int32_t>(i));
    EXPECT_EQ(dynamic_cast<const TIntString&>(*hash.Items(keys[i])).IntValue, position);
  }
}

}  // namespace
}  // namespace kelvane
