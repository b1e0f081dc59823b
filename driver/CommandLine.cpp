#include "driver/CommandLine.h"

#include "platform/Platform.h"

namespace kelvane {

namespace {

bool IsSeparator(char c) {
  return c >= 0x01 && c <= 0x20;
}

// The arguments after the program's name, taken on first use: split from the
// command line where the system keeps one, else the words the shell gave.
const std::vector<std::string>& Arguments() {
  static const std::vector<std::string> arguments = [] {
    std::string line;
    return platform::CommandLine(line) ? CommandLineArguments(line) : platform::ArgumentWords();
  }();
  return arguments;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
  line = line.substr(0, line.find('\0'));
  std::vector<std::string> tokens;
  std::size_t i = 0;
  while (true) {
    while (i < line.size() && IsSeparator(line[i])) ++i;
    if (i == line.size()) return tokens;
    const std::size_t start = i;
    while (i < line.size() && !IsSeparator(line[i])) {
      if (line[i] == '"') {
        const std::size_t close = line.find('"', i + 1);
        i = close == std::string_view::npos ? line.size() : close + 1;
      } else {
        ++i;
      }
    }
    tokens.emplace_back(line.substr(start, i - start));
  }
}

std::vector<std::string> CommandLineArguments(std::string_view line) {
  std::vector<std::string> tokens = SplitCommandLine(line);
  if (!tokens.empty()) tokens.erase(tokens.begin());
  for (std::string& token : tokens) {
    if (token.size() >= 2 && token.front() == '"' && token.back() == '"') {
      token = token.substr(1, token.size() - 2);
    }
  }
  return tokens;
}

std::int32_t ArgumentCount() {
  return static_cast<std::int32_t>(Arguments().size());
}

std::string ArgumentText(std::int32_t index) {
  if (index == 0) return platform::ModuleFileName();
  const std::vector<std::string>& arguments = Arguments();
  if (index < 0 || static_cast<std::size_t>(index) > arguments.size()) return {};
  return arguments[static_cast<std::size_t>(index) - 1];
}

std::string AsciiLowerCase(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  }
  return result;
}

}  // namespace kelvane
