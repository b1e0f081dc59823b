#include <windows.h>

#include <algorithm>

#include "platform/Platform.h"

namespace kelvane::platform {

namespace {
HANDLE Handle(TStdStream stream) {
  return GetStdHandle(stream == TStdStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}
}  // namespace

bool IsCharacterDevice(TStdStream stream) {
  return GetFileType(Handle(stream)) == FILE_TYPE_CHAR;
}

bool WriteStd(TStdStream stream, std::string_view bytes) {
  HANDLE handle = Handle(stream);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
  while (!bytes.empty()) {
    DWORD written = 0;
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    if (!WriteFile(handle, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
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
