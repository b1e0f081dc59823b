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

}  // namespace kelvane::platform
