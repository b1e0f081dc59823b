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

std::string ToUtf8(std::string_view name) {
  if (name.empty()) return {};
  const int size = static_cast<int>(name.size());
  const int wide = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name.data(), size, nullptr, 0);
  if (wide <= 0) return std::string(name);
  std::wstring text(static_cast<std::size_t>(wide), L'\0');
  MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name.data(), size, text.data(), wide);
  const int bytes =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return std::string(name);
  std::string converted(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, converted.data(), bytes, nullptr, nullptr);
  return converted;
}

}  // namespace kelvane::platform
