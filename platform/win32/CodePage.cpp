#include <windows.h>

#include "platform/Platform.h"

namespace kelvane::platform {

void LowerCase(std::string& text) {
  if (!text.empty()) CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
}

std::string ToOem(std::string_view text) {
  // The buffer form of CharToOemA, so that a zero byte does not cut the text.
  std::string converted(text.size(), '\0');
  if (!text.empty()) {
    CharToOemBuffA(text.data(), converted.data(), static_cast<DWORD>(text.size()));
  }
  return converted;
}

}  // namespace kelvane::platform
