#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/platform.h"
#include "platform/posix/names.h"

namespace kelvane::platform {

std::uint32_t FileAttributes(const std::string& name) {
  struct stat info;
  if (name.empty() || stat(SystemName(name).c_str(), &info) != 0) return kInvalidFileAttributes;
  // Only the directory bit means anything to the program.
  return S_ISDIR(info.st_mode) ? kAttributeDirectory : kAttributeArchive;
}

struct File::State {
  int fd = -1;
};

File::File() : state_(std::make_unique<State>()) {}
File::~File() { Close(); }

bool File::Open(const std::string& name) {
  Close();
  // Non-blocking, so that a FIFO without a writer cannot hang the run; it
  // makes no difference to reading a regular file.
  int fd = open(SystemName(name).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat info;
  // Windows refuses to open a directory as a file; so does this emulation.
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    close(fd);
    return false;
  }
  state_->fd = fd;
  return true;
}

bool File::IsOpen() const { return state_->fd >= 0; }

std::int64_t File::Size() {
  struct stat info;
  if (state_->fd < 0 || fstat(state_->fd, &info) != 0) return -1;
  return info.st_size;
}

bool File::Seek(std::int64_t offset) {
  return state_->fd >= 0 && offset >= 0 && lseek(state_->fd, offset, SEEK_SET) == offset;
}

std::size_t File::Read(void* buffer, std::size_t count) {
  if (state_->fd < 0) return 0;
  auto* bytes = static_cast<char*>(buffer);
  std::size_t delivered = 0;
  // Like ReadFile on a disk file: deliver all that is there, short only at the end.
  while (delivered < count) {
    ssize_t n = read(state_->fd, bytes + delivered, count - delivered);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    delivered += static_cast<std::size_t>(n);
  }
  return delivered;
}

void File::Close() {
  if (state_->fd >= 0) {
    close(state_->fd);
    state_->fd = -1;
  }
}

}  // namespace kelvane::platform
