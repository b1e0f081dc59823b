#include <windows.h>

#include "platform/Platform.h"

namespace kelvane::platform {

const std::uint32_t kErrorNoMatch = ERROR_FILE_NOT_FOUND;

std::uint32_t LastError() {
  return GetLastError();
}

const std::uint32_t kErrorNoMemory = ERROR_NOT_ENOUGH_MEMORY;

bool IsResourceShortage(std::uint32_t code) {
  switch (code) {
    case ERROR_TOO_MANY_OPEN_FILES:
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
    case ERROR_NO_SYSTEM_RESOURCES:
    case ERROR_NONPAGED_SYSTEM_RESOURCES:
    case ERROR_PAGED_SYSTEM_RESOURCES:
    case ERROR_COMMITMENT_LIMIT:
    case ERROR_MAX_THRDS_REACHED:
    case ERROR_NOT_ENOUGH_QUOTA:
      return true;
    default:
      return false;
  }
}

bool IsNoFile(std::uint32_t code) {
  return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
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
