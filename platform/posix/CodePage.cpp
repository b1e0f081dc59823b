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

}  // namespace kelvane::platform
