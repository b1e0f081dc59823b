#include <windows.h>

#include <cstring>

#include "platform/platform.h"

namespace kelvane::platform {

namespace {
void Fill(const WIN32_FIND_DATAA& record, FindData& data) {
  data.attributes = record.dwFileAttributes;
  data.fileName.assign(record.cFileName, strnlen(record.cFileName, sizeof record.cFileName));
  data.alternateFileName.assign(
      record.cAlternateFileName,
      strnlen(record.cAlternateFileName, sizeof record.cAlternateFileName));
}
}  // namespace

struct FileSearch::State {
  HANDLE handle = INVALID_HANDLE_VALUE;
};

FileSearch::FileSearch() : state_(std::make_unique<State>()) {}
FileSearch::~FileSearch() {
  Close();
}

bool FileSearch::IsOpen() const {
  return state_->handle != INVALID_HANDLE_VALUE;
}

void FileSearch::Close() {
  if (IsOpen()) {
    FindClose(state_->handle);
    state_->handle = INVALID_HANDLE_VALUE;
  }
}

bool FileSearch::FindFirst(const std::string& pattern, FindData& data) {
  Close();
  WIN32_FIND_DATAA record;
  state_->handle = FindFirstFileA(pattern.c_str(), &record);
  if (!IsOpen()) return false;
  Fill(record, data);
  return true;
}

bool FileSearch::FindNext(FindData& data) {
  WIN32_FIND_DATAA record;
  if (!IsOpen() || !FindNextFileA(state_->handle, &record)) return false;
  Fill(record, data);
  return true;
}

std::uint32_t LastError() {
  return GetLastError();
}

void LowerCase(std::string& text) {
  if (!text.empty()) CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
}

}  // namespace kelvane::platform
