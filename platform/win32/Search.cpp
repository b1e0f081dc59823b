#include <windows.h>

#include <cstring>

#include "platform/Platform.h"
#include "platform/win32/LongNames.h"

namespace kelvane::platform {

namespace {
void Fill(const WIN32_FIND_DATAA& record, TFindData& data) {
  data.Attributes = record.dwFileAttributes;
  data.FileName.assign(record.cFileName, strnlen(record.cFileName, sizeof record.cFileName));
  data.AlternateFileName.assign(
      record.cAlternateFileName,
      strnlen(record.cAlternateFileName, sizeof record.cAlternateFileName));
}

void Fill(const WIN32_FIND_DATAW& record, TFindData& data) {
  data.Attributes = record.dwFileAttributes;
  data.FileName = AnsiName(record.cFileName);
  data.AlternateFileName = AnsiName(record.cAlternateFileName);
}
}  // namespace

struct TFileSearch::TState {
  HANDLE Handle = INVALID_HANDLE_VALUE;
  bool Wide = false;  // opened by the "W" call, for a pattern too long for the "A" one
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
  State->Wide = !IsOpen() && RefusedAsTooLong();
  if (!State->Wide) {
    if (IsOpen()) Fill(record, data);
    return IsOpen();
  }
  WIN32_FIND_DATAW wide;
  State->Handle = FindFirstFileW(LongName(pattern.c_str()).c_str(), &wide);
  if (IsOpen()) Fill(wide, data);
  return IsOpen();
}

bool TFileSearch::FindNext(TFindData& data) {
  if (!IsOpen()) return false;
  if (State->Wide) {
    WIN32_FIND_DATAW record;
    if (!FindNextFileW(State->Handle, &record)) return false;
    Fill(record, data);
  } else {
    WIN32_FIND_DATAA record;
    if (!FindNextFileA(State->Handle, &record)) return false;
    Fill(record, data);
  }
  return true;
}

}  // namespace kelvane::platform
