// Emulates FindFirstFileA/FindNextFileA over opendir/readdir.
//
// The pattern is a directory followed by a last component. The directory is
// listed in the file system's own order, "." and ".." included. The last
// component is matched against each name by the program's wildcard rule
// (platform/Wildcard.h) with these Windows-style additions:
//   - letters compare without regard to ASCII case;
//   - "*.*" matches every name, and a component ending in ".*" also matches
//     a name that stops where that ".*" begins ("a.*" matches "a").
// A wildcard in the directory part, a directory that cannot be read and a
// pattern that matches nothing all fail the search. Names longer than a
// Windows find record holds (259 bytes) are passed over. A control code or a
// backslash, which no Windows name can hold, is delivered as "?", the way
// Windows delivers a character its code page cannot represent: a line feed
// would cut the name in two wherever names are kept one per line, and a
// backslash would make it a path into another folder. There are no short
// names.

#include <dirent.h>
#include <sys/stat.h>

#include <cstring>

#include "platform/Platform.h"
#include "platform/Wildcard.h"
#include "platform/posix/Names.h"

namespace kelvane::platform {

namespace {

constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorPathNotFound = 3;
constexpr std::uint32_t kErrorNoMoreFiles = 18;
constexpr std::uint32_t kErrorInvalidName = 123;
constexpr std::size_t kMaxNameLength = 259;

std::uint32_t lastError = 0;

// The mask is lower-cased already.
bool PatternMatches(std::string_view mask, std::string name) {
  LowerCase(name);
  if (mask == "*.*" || WildcardMatch(name, mask)) return true;
  return mask.ends_with(".*") && WildcardMatch(name, mask.substr(0, mask.size() - 2));
}

}  // namespace

struct TFileSearch::TState {
  DIR* Dir = nullptr;
  std::string Directory;  // as handed to the system, ending in "/"
  std::string Mask;       // lower-cased
};

TFileSearch::TFileSearch() : State(std::make_unique<TState>()) {}
TFileSearch::~TFileSearch() {
  Close();
}

bool TFileSearch::IsOpen() const {
  return State->Dir != nullptr;
}

void TFileSearch::Close() {
  if (State->Dir != nullptr) {
    closedir(State->Dir);
    State->Dir = nullptr;
  }
}

bool TFileSearch::FindFirst(const std::string& pattern, TFindData& data) {
  Close();
  const std::string name = SystemName(pattern);
  const std::size_t split = name.find_last_of('/');
  State->Directory = split == std::string::npos ? "./" : name.substr(0, split + 1);
  State->Mask = split == std::string::npos ? name : name.substr(split + 1);
  LowerCase(State->Mask);
  if (State->Directory.find_first_of("*?") != std::string::npos || State->Mask.empty()) {
    lastError = kErrorInvalidName;
    return false;
  }
  State->Dir = opendir(State->Directory.c_str());
  if (State->Dir == nullptr) {
    lastError = kErrorPathNotFound;
    return false;
  }
  if (FindNext(data)) return true;
  Close();
  lastError = kErrorFileNotFound;
  return false;
}

bool TFileSearch::FindNext(TFindData& data) {
  if (State->Dir == nullptr) {
    lastError = kErrorNoMoreFiles;
    return false;
  }
  while (const dirent* entry = readdir(State->Dir)) {
    const std::size_t length = std::strlen(entry->d_name);
    if (length > kMaxNameLength || !PatternMatches(State->Mask, entry->d_name)) continue;
    bool directory = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
      struct stat info;
      const std::string full = State->Directory + entry->d_name;
      directory = stat(full.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    }
    data.Attributes = directory ? kAttributeDirectory : kAttributeArchive;
    data.FileName.assign(entry->d_name, length);
    for (char& c : data.FileName) {
      if (static_cast<unsigned char>(c) < 0x20 || c == '\\') c = '?';
    }
    data.AlternateFileName.clear();
    return true;
  }
  lastError = kErrorNoMoreFiles;
  return false;
}

std::uint32_t LastError() {
  return lastError;
}

}  // namespace kelvane::platform
