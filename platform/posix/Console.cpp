#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Platform.h"
#include "platform/posix/Errors.h"

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
  const int fd = Descriptor(stream);
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(n));
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // A parent set the stream non-blocking: wait until its reader makes room.
      pollfd ready = {fd, POLLOUT, 0};
      if (poll(&ready, 1, -1) < 0 && errno != EINTR) {
        KeepError(static_cast<std::uint32_t>(errno));
        return false;
      }
    } else if (n == 0 || errno != EINTR) {
      KeepError(n == 0 ? EIO : static_cast<std::uint32_t>(errno));
      return false;
    }
  }
  return true;
}

}  // namespace kelvane::platform
