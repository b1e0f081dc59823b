#include <windows.h>

#include <cstring>

#include "platform/Platform.h"

namespace kelvane::platform {

namespace {
void Fill(const WIN32_FIND_DATAA& record, TFindData& data) {
  data.Attributes = record.dwFileAttributes;
  data.FileName.assign(record.cFileName, strnlen(record.cFileName, sizeof record.cFileName));
  data.AlternateFileName.assign(
      record.cAlternateFileName,
      strnlen(record.cAlternateFileName, sizeof record.cAlternateFileName));
}
}  // namespace

struct TFileSearch::TState {
  HANDLE Handle = INVALID_HANDLE_VALUE;
};

TFileSearch::TFileSearch() : State(std::make_unique<TState>()) {}
TFileSearch::~TFileSearch() {
  Close();
}

bool TFileSearch::IsOpen() const {
  return State->Handle != INVALID_HANDLE_VALUE;
}

void TFileSearch::Close() {
  if (IsOpen()) {
    FindClose(State->Handle);
    State->Handle = INVALID_HANDLE_VALUE;
  }
}

bool TFileSearch::FindFirst(const std::string& pattern, TFindData& data) {
  Close();
  WIN32_FIND_DATAA record;
  State->Handle = FindFirstFileA(pattern.c_str(), &record);
  if (!IsOpen()) return false;
  Fill(record, data);
  return true;
}

bool TFileSearch::FindNext(TFindData& data) {
  WIN32_FIND_DATAA record;
  if (!IsOpen() || !FindNextFileA(State->Handle, &record)) return false;
  Fill(record, data);
  return true;
}

}  // namespace kelvane::platform
