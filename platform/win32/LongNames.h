#pragma once

#include <windows.h>

#include <string>

namespace kelvane::platform {

// An "A" call refuses a name longer than MAX_PATH with
// ERROR_FILENAME_EXCED_RANGE. Only such a name goes to the matching "W" call
// instead: converted by the ANSI code page, made absolute and marked "\\?\",
// which lifts the limit. Every name an "A" call takes stays with it, and so do
// the rules it applies to names.
inline bool RefusedAsTooLong() {
  return GetLastError() == ERROR_FILENAME_EXCED_RANGE;
}

// The name as an absolute "\\?\" path for a "W" call; empty when it cannot be
// converted.
inline std::wstring LongName(const char* name) {
  const int length = MultiByteToWideChar(CP_ACP, 0, name, -1, nullptr, 0);
  if (length <= 1) return {};
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, name, -1, wide.data(), length);
  const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return {};
  std::wstring full(size, L'\0');
  full.resize(GetFullPathNameW(wide.c_str(), size, full.data(), nullptr));
  if (full.starts_with(L"\\\\?\\")) return full;
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

// A name that a "W" call gave, in the ANSI code page.
inline std::string AnsiName(const wchar_t* name) {
  const int length = WideCharToMultiByte(CP_ACP, 0, name, -1, nullptr, 0, nullptr, nullptr);
  if (length <= 1) return {};
  std::string ansi(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, name, -1, ansi.data(), length, nullptr, nullptr);
  ansi.pop_back();
  return ansi;
}

}  // namespace kelvane::platform
