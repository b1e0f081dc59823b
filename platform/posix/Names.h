#pragma once

#include <string>

namespace kelvane::platform {

// The program splits paths at ":", "\" and "/" on every system; when a name
// is handed to a POSIX call, its backslashes become slashes.
inline std::string SystemName(const std::string& name) {
  std::string result = name;
  for (char& c : result) {
    if (c == '\\') c = '/';
  }
  return result;
}

}  // namespace kelvane::platform
