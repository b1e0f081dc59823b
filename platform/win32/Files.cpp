#include <windows.h>

#include <algorithm>

#include "platform/Platform.h"
#include "platform/win32/LongNames.h"

namespace kelvane::platform {

std::uint32_t FileAttributes(const std::string& name) {
  const DWORD attributes = GetFileAttributesA(name.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES || !RefusedAsTooLong()) return attributes;
  return GetFileAttributesW(LongName(name.c_str()).c_str());
}

struct TFile::TState {
  HANDLE Handle = INVALID_HANDLE_VALUE;
  bool Stream = false;  // standard input: read to its end, never closed here
};

TFile::TFile() : State(std::make_unique<TState>()) {}
TFile::~TFile() {
  Close();
}

bool TFile::Open(const std::string& name) {
  Close();
  State->Handle = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (!IsOpen() && RefusedAsTooLong()) {
    State->Handle = CreateFileW(LongName(name.c_str()).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  return IsOpen();
}

bool TFile::OpenStandardInput() {
  Close();
  const HANDLE handle = GetStdHandle(STD_INPUT_HANDLE);
  if (handle == INVALID_HANDLE_VALUE || handle == nullptr) return false;
  State->Handle = handle;
  State->Stream = true;
  return true;
}

bool TFile::IsOpen() const {
  return State->Handle != INVALID_HANDLE_VALUE;
}

bool TFile::IsStream() const {
  return State->Stream;
}

std::int64_t TFile::Size() {
  LARGE_INTEGER size;
  if (!IsOpen() || State->Stream || !GetFileSizeEx(State->Handle, &size)) return -1;
  return size.QuadPart;
}

bool TFile::Seek(std::int64_t offset) {
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  return IsOpen() && !State->Stream && offset >= 0 &&
         SetFilePointerEx(State->Handle, distance, nullptr, FILE_BEGIN) != 0;
}

std::size_t TFile::Read(void* buffer, std::size_t count) {
  if (!IsOpen()) return 0;
  // ReadFile takes a 32-bit count; a larger request is simply delivered short.
  // A pipe whose writer has gone fails the call: its end, like any failure.
  const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(count, 1u << 30));
  DWORD got = 0;
  if (!ReadFile(State->Handle, buffer, wanted, &got, nullptr)) return 0;
  return got;
}

bool TFile::Unchanged() const {
  // The handle shares reading only: no one has been able to write the file since it was opened.
  return IsOpen();
}

void TFile::Close() {
  if (IsOpen() && !State->Stream) CloseHandle(State->Handle);
  State->Handle = INVALID_HANDLE_VALUE;
  State->Stream = false;
}

}  // namespace kelvane::platform
