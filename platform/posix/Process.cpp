#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "platform/Platform.h"

namespace kelvane::platform {

namespace {
std::vector<std::string>& Words() {
  static std::vector<std::string> words;
  return words;
}
}  // namespace

void Initialize(int argc, char** argv) {
  Words().assign(argv + (argc > 0 ? 1 : 0), argv + argc);
}

bool CommandLine(std::string&) {
  return false;
}

const std::vector<std::string>& ArgumentWords() {
  return Words();
}

std::string ModuleFileName() {
  char buffer[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
  if (length <= 0) return {};
  return std::string(buffer, static_cast<std::size_t>(length));
}

void Exit(int code) {
  std::exit(code);
}

}  // namespace kelvane::platform
