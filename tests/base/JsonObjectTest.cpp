#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/JsonObject.h"

namespace kelvane {
namespace {

using namespace std::string_literals;

// The object of one member "k" holding text.
std::string One(std::string_view text) {
  TJsonObject object;
  object.AddText("k", text);
  return object.Text();
}

// Escapes, control characters and well-formed UTF-8 of every length, kept as they are.
TEST(JsonObjectTest, EscapesQuotesBackslashesAndControlCharacters) {
  // clang-format off
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"", R"("")"}, {"a\"b\\c/", R"("a\"b\\c/")"}, {"\b\t\n\f\r", R"("\b\t\n\f\r")"},
      {"\x01\x0b\x1f\x7f"s, R"("\u0001\u000b\u001f\u007f")"}, {"\0x"s, R"("\u0000x")"},
      {"\xC2\x80\xC2\x9F\xC2\xA0", R"("\u0080\u009f)" "\xC2\xA0\""},
      {"\xC3\xA9\xE6\x97\xA5\xEF\xBF\xBF\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF",
       "\"\xC3\xA9\xE6\x97\xA5\xEF\xBF\xBF\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF\""}};
  // clang-format on
  for (const auto& [text, json] : rows) EXPECT_EQ(One(text), "{\"k\":" + json + "}") << text;
}

// Each byte outside a well-formed character becomes U+FFFD, and the exact bytes follow in hex.
TEST(JsonObjectTest, MalformedUtf8GetsReplacementCharactersAndItsBytesInHex) {
  const std::string r = "\xEF\xBF\xBD";
  // clang-format off
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"a\xFF", "a" + r}, {"\x80", r}, {"\xC0\xAF", r + r}, {"\xC1\xBF", r + r},
      {"\xE0\x9F\xBF", r + r + r}, {"\xED\xA0\x80", r + r + r}, {"\xED\x9F\xBF", "\xED\x9F\xBF"},
      {"\xF0\x8F\xBF\xBF", r + r + r + r}, {"\xF4\x90\x80\x80", r + r + r + r},
      {"\xF5\x80\x80\x80", r + r + r + r}, {"\xE6\x97", r + r}, {"\xE6\x97x", r + r + "x"},
      {"\xC3\n\"", r + "\\n\\\""}, {"\xF0\x9F\x98", r + r + r}, {"\xC3\xA9\xC3", "\xC3\xA9" + r}};
  // clang-format on
  for (const auto& [text, json] : rows) {
    std::string hex;
    for (const char c : text) {
      constexpr char kDigits[] = "0123456789abcdef";
      hex += kDigits[static_cast<unsigned char>(c) >> 4];
      hex += kDigits[static_cast<unsigned char>(c) & 15];
    }
    const bool wellFormed = json == text;
    EXPECT_EQ(One(text),
              "{\"k\":\"" + json + "\"" + (wellFormed ? "" : ",\"k_hex\":\"" + hex + "\"") + "}")
        << hex;
  }
}

}  // namespace
}  // namespace kelvane
