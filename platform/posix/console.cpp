#include <unistd.h>

#include <cerrno>

#include "platform/platform.h"

namespace kelvane::platform {

namespace {
int Descriptor(StdStream stream) {
  return stream == StdStream::Output ? STDOUT_FILENO : STDERR_FILENO;
}
}  // namespace

bool IsCharacterDevice(StdStream stream) {
  return isatty(Descriptor(stream)) == 1;
}

bool WriteStd(StdStream stream, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = write(Descriptor(stream), bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::string ToOem(std::string_view text) {
  return std::string(text);
}

}  // namespace kelvane::platform
