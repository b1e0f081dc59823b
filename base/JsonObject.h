#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kelvane {

// One JSON object (RFC 8259) built member by member, in the order added,
// with no white space: always valid JSON and valid UTF-8, whatever bytes its
// texts hold. Keys are the caller's ASCII words and are written as given.
class TJsonObject {
 public:
  TJsonObject();

  // Adds "key": the text as a JSON string, or null when there is none. In the
  // string, '"' and '\' are escaped, and so is every control character
  // (U+0000 to U+001F, U+007F to U+009F); each byte that is not part of a
  // well-formed UTF-8 character (RFC 3629: no overlong forms, no surrogates,
  // nothing above U+10FFFF) becomes U+FFFD. A text holding such a byte also
  // gets the member "key_hex" right after it: its exact bytes as lower-case
  // hex digits.
  void AddText(std::string_view key, const std::optional<std::string_view>& text);

  // The object's text, from "{" to "}".
  std::string Text() const;

 private:
  std::string Members;  // "{" and the members so far
};

}  // namespace kelvane
