#include <unistd.h>

#include <cerrno>

#include "platform/Platform.h"

namespace kelvane::platform {

namespace {
int Descriptor(TStdStream stream) {
  return stream == TStdStream::Output ? STDOUT_FILENO : STDERR_FILENO;
}
}  // namespace

bool IsCharacterDevice(TStdStream stream) {
  return isatty(Descriptor(stream)) == 1;
}

bool WriteStd(TStdStream stream, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = write(Descriptor(stream), bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace kelvane::platform
