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
  // A path cut to fit the buffer comes back as long as the buffer itself.
  std::string path(MAX_PATH, '\0');
  while (true) {
    const DWORD size = static_cast<DWORD>(path.size());
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), size);
    if (length < size) {
      path.resize(length);
      return path;
    }
    // No path is longer than 32767 characters of two bytes each.
    if (size >= 65536) return {};
    path.resize(2 * path.size());
  }
}

void Exit(int code) {
  ExitProcess(static_cast<UINT>(code));
}

}  // namespace kelvane::platform
