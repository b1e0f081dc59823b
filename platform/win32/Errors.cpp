#include <windows.h>

#include "platform/Platform.h"

namespace kelvane::platform {

const std::uint32_t kErrorNoMatch = ERROR_FILE_NOT_FOUND;

std::uint32_t LastError() {
  return GetLastError();
}

std::string ErrorText(std::uint32_t code) {
  char text[512];
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                code, 0, text, sizeof text, nullptr);
  while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' ||
                        text[length - 1] == ' ' || text[length - 1] == '.')) {
    --length;
  }
  return std::string(text, length);
}

}  // namespace kelvane::platform
