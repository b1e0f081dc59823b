#include "driver/PathHelpers.h"

#include "platform/Conventions.h"
#include "platform/Platform.h"

namespace kelvane {

namespace {
// Index just past the last separator; 0 when there is none.
std::size_t NameStart(std::string_view path) {
  const std::size_t last = path.find_last_of(platform::kConventions.Separators);
  return last == std::string_view::npos ? 0 : last + 1;
}
}  // namespace

std::string DirectoryPart(std::string_view path) {
  return std::string(path.substr(0, NameStart(path)));
}

std::string FileNamePart(std::string_view path) {
  return std::string(path.substr(NameStart(path)));
}

bool IsExistingFile(const std::string& name) {
  const std::uint32_t attributes = platform::FileAttributes(name);
  return attributes != platform::kInvalidFileAttributes &&
         (attributes & platform::kAttributeDirectory) == 0;
}

std::string ShownText(std::string_view name) {
  std::string shown(name);
  for (char& c : shown) {
    if ((c >= 0x01 && c <= 0x1F) || c == 0x7F) c = '?';
  }
  return shown;
}

}  // namespace kelvane
