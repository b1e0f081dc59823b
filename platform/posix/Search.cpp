// Emulates FindFirstFileA/FindNextFileA over opendir/readdir.
//
// The pattern is a directory followed by a last component; only "/"
// separates them, and the directory is a folder's name as it stands, any
// byte included. The directory is listed in the file system's own order,
// "." and ".." included, and every name is delivered as the file system
// stores it. The last component is matched against each name by the
// program's wildcard rule (platform/Wildcard.h) with these Windows-style
// additions:
//   - letters compare without regard to ASCII case;
//   - "*.*" matches every name, and a component ending in ".*" also matches
//     a name that stops where that ".*" begins ("a.*" matches "a").
// A directory that cannot be read and a pattern that matches nothing fail
// the search. A symbolic link is marked as Windows marks one (a reparse
// point), and as a directory where it leads to one. There are no short names.
// An entry that is no regular file and no directory (a FIFO, a socket, a
// device) carries kAttributeDevice.

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/Platform.h"
#include "platform/Wildcard.h"
#include "platform/posix/Errors.h"

namespace kelvane::platform {

namespace {

// The mask is lower-cased already.
bool PatternMatches(std::string_view mask, std::string name) {
  LowerCase(name);
  if (mask == "*.*" || WildcardMatch(name, mask)) return true;
  return mask.ends_with(".*") && WildcardMatch(name, mask.substr(0, mask.size() - 2));
}

}  // namespace

struct TFileSearch::TState {
  std::unique_ptr<DIR, int (*)(DIR*)> Dir{nullptr, closedir};
  std::string Directory;  // as handed to the system, ending in "/"
  std::string Mask;       // lower-cased
};

TFileSearch::TFileSearch() : State(std::make_unique<TState>()) {}
TFileSearch::~TFileSearch() = default;

bool TFileSearch::IsOpen() const {
  return State->Dir != nullptr;
}

void TFileSearch::Close() {
  State->Dir.reset();
}

bool TFileSearch::FindFirst(const std::string& pattern, TFindData& data) {
  Close();
  const std::size_t split = pattern.find_last_of('/');
  State->Directory = split == std::string::npos ? "./" : pattern.substr(0, split + 1);
  State->Mask = split == std::string::npos ? pattern : pattern.substr(split + 1);
  LowerCase(State->Mask);
  if (State->Mask.empty()) {
    KeepError(EINVAL);
    return false;
  }
  State->Dir.reset(opendir(State->Directory.c_str()));
  if (State->Dir == nullptr) {
    KeepError(static_cast<std::uint32_t>(errno));
    return false;
  }
  if (FindNext(data)) return true;
  Close();
  KeepError(kErrorNoMatch);
  return false;
}

bool TFileSearch::FindNext(TFindData& data) {
  if (State->Dir == nullptr) return false;
  while (const dirent* entry = readdir(State->Dir.get())) {
    if (!PatternMatches(State->Mask, entry->d_name)) continue;
    std::uint32_t kind = entry->d_type == DT_DIR   ? kAttributeDirectory
                         : entry->d_type == DT_REG ? kAttributeArchive
                                                   : kAttributeDevice;
    bool link = entry->d_type == DT_LNK;
    if (entry->d_type == DT_UNKNOWN || link) {
      struct stat info;
      const std::string full = State->Directory + entry->d_name;
      if (!link) link = lstat(full.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
      // A link that leads nowhere is still a file: opening it is what fails.
      kind = stat(full.c_str(), &info) != 0 ? kAttributeArchive
             : S_ISDIR(info.st_mode)        ? kAttributeDirectory
             : S_ISREG(info.st_mode)        ? kAttributeArchive
                                            : kAttributeDevice;
    }
    data.Attributes = kind | (link ? kAttributeReparsePoint : 0);
    data.FileName = entry->d_name;
    data.AlternateFileName.clear();
    return true;
  }
  return false;
}

}  // namespace kelvane::platform
