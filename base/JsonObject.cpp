#include "base/JsonObject.h"

#include <cstddef>
#include <cstdint>

namespace kelvane {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

// The length of the well-formed UTF-8 character at text[at], or 0 when the
// byte there starts none.
std::size_t CharacterLength(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) return 1;
  // C0 and C1 lead only overlong forms, F5 and above code points past U+10FFFF.
  if (lead < 0xC2 || lead > 0xF4) return 0;
  const std::size_t length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  if (length > text.size() - at) return 0;
  // The second byte's range excludes the overlong forms, the surrogates and
  // what lies past U+10FFFF.
  const auto second = static_cast<unsigned char>(text[at + 1]);
  const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
  const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
  if (second < low || second > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if ((static_cast<unsigned char>(text[at + k]) & 0xC0) != 0x80) return 0;
  }
  return length;
}

void AppendUnicodeEscape(std::string& out, std::uint32_t codePoint) {
  out += "\\u00";
  out += kHexDigits[codePoint >> 4];
  out += kHexDigits[codePoint & 15];
}

// Appends the text as a JSON string; returns false when a byte of it had to
// be replaced by U+FFFD.
bool AppendString(std::string& out, std::string_view text) {
  bool wellFormed = true;
  out += '"';
  for (std::size_t at = 0; at < text.size();) {
    // Printable ASCII but '"' and '\', most of every text, goes in runs.
    std::size_t plain = at;
    while (plain < text.size() && text[plain] >= 0x20 && text[plain] < 0x7F && text[plain] != '"' &&
           text[plain] != '\\') {
      ++plain;
    }
    out.append(text.substr(at, plain - at));
    at = plain;
    if (at == text.size()) break;
    const std::size_t length = CharacterLength(text, at);
    const auto byte = static_cast<unsigned char>(text[at]);
    if (length == 0) {
      out += "\xEF\xBF\xBD";
      wellFormed = false;
      ++at;
      continue;
    }
    if (byte == '"' || byte == '\\') {
      out += '\\';
      out += static_cast<char>(byte);
    } else if (byte < 0x20 || byte == 0x7F) {
      constexpr std::string_view kShort = "btn fr";  // \b \t \n, none for \v, \f \r
      if (byte >= '\b' && byte <= '\r' && byte != '\v') {
        out += '\\';
        out += kShort[byte - '\b'];
      } else {
        AppendUnicodeEscape(out, byte);
      }
    } else if (byte == 0xC2 && static_cast<unsigned char>(text[at + 1]) < 0xA0) {
      AppendUnicodeEscape(out, static_cast<unsigned char>(text[at + 1]));  // U+0080 to U+009F
    } else {
      out.append(text.substr(at, length));
    }
    at += length;
  }
  out += '"';
  return wellFormed;
}

void AppendKey(std::string& out, std::string_view key) {
  if (out.size() > 1) out += ',';
  out += '"';
  out.append(key);
  out += "\":";
}

}  // namespace

TJsonObject::TJsonObject() {
  // Enough for most records at once.
  Members.reserve(512);
  Members += '{';
}

void TJsonObject::AddText(std::string_view key, const std::optional<std::string_view>& text) {
  AppendKey(Members, key);
  if (!text) {
    Members += "null";
    return;
  }
  if (AppendString(Members, *text)) return;
  AppendKey(Members, std::string(key) + "_hex");
  Members += '"';
  for (const char c : *text) {
    Members += kHexDigits[static_cast<unsigned char>(c) >> 4];
    Members += kHexDigits[static_cast<unsigned char>(c) & 15];
  }
  Members += '"';
}

std::string TJsonObject::Text() const {
  return Members + '}';
}

}  // namespace kelvane
