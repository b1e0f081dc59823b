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

std::string& StartedAs() {
  static std::string name;
  return name;
}
}  // namespace

void Initialize(int argc, char** argv) {
  StartedAs() = argc > 0 && argv[0] != nullptr ? argv[0] : "";
  Words().assign(argv + (argc > 0 ? 1 : 0), argv + argc);
}

bool CommandLine(std::string&) {
  return false;
}

const std::vector<std::string>& ArgumentWords() {
  return Words();
}

std::string ModuleFileName() {
  // readlink cuts a path to the buffer without a word; one that fills it may have been cut.
  std::string path(PATH_MAX, '\0');
  while (true) {
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0) return StartedAs();
    if (static_cast<std::size_t>(length) < path.size()) {
      path.resize(static_cast<std::size_t>(length));
      return path;
    }
    path.resize(2 * path.size());
  }
}

void Exit(int code) {
  std::exit(code);
}

}  // namespace kelvane::platform
