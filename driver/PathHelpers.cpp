#include "driver/PathHelpers.h"

#include "platform/Platform.h"

namespace kelvane {

namespace {
// Index just past the last ":", "\" or "/"; 0 when there is none.
std::size_t NameStart(std::string_view path) {
  const std::size_t last = path.find_last_of(":\\/");
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

}  // namespace kelvane
