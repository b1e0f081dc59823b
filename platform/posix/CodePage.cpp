#include "platform/Platform.h"

namespace kelvane::platform {

void LowerCase(std::string& text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  }
}

std::string ToOem(std::string_view text) {
  return std::string(text);
}

std::string ToUtf8(std::string_view name) {
  return std::string(name);
}

}  // namespace kelvane::platform
