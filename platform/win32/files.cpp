#include <windows.h>

#include <algorithm>

#include "platform/platform.h"

namespace kelvane::platform {

std::uint32_t FileAttributes(const std::string& name) {
  return GetFileAttributesA(name.c_str());
}

struct File::State {
  HANDLE handle = INVALID_HANDLE_VALUE;
};

File::File() : state_(std::make_unique<State>()) {}
File::~File() {
  Close();
}

bool File::Open(const std::string& name) {
  Close();
  state_->handle = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  return state_->handle != INVALID_HANDLE_VALUE;
}

bool File::IsOpen() const {
  return state_->handle != INVALID_HANDLE_VALUE;
}

std::int64_t File::Size() {
  LARGE_INTEGER size;
  if (!IsOpen() || !GetFileSizeEx(state_->handle, &size)) return -1;
  return size.QuadPart;
}

bool File::Seek(std::int64_t offset) {
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  return IsOpen() && offset >= 0 &&
         SetFilePointerEx(state_->handle, distance, nullptr, FILE_BEGIN) != 0;
}

std::size_t File::Read(void* buffer, std::size_t count) {
  if (!IsOpen()) return 0;
  // ReadFile takes a 32-bit count; a larger request is simply delivered short.
  const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(count, 1u << 30));
  DWORD got = 0;
  if (!ReadFile(state_->handle, buffer, wanted, &got, nullptr)) return 0;
  return got;
}

void File::Close() {
  if (IsOpen()) {
    CloseHandle(state_->handle);
    state_->handle = INVALID_HANDLE_VALUE;
  }
}

}  // namespace kelvane::platform
