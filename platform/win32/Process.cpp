#include <windows.h>

#include "platform/Platform.h"

namespace kelvane::platform {

void Initialize(int, char**) {}

bool CommandLine(std::string& line) {
  const char* text = GetCommandLineA();
  line.assign(text != nullptr ? text : "");
  return true;
}

const std::vector<std::string>& ArgumentWords() {
  static const std::vector<std::string> none;
  return none;
}

std::string ModuleFileName() {
  char buffer[260];
  DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  return std::string(buffer, length);
}

void Exit(int code) {
  ExitProcess(static_cast<UINT>(code));
}

}  // namespace kelvane::platform
