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
  std::int64_t size = -1;  // taken when the file is opened
};

File::File() : state_(std::make_unique<State>()) {}
File::~File() {
  Close();
}

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
  state_->size = info.st_size;
  return true;
}

bool File::IsOpen() const {
  return state_->fd >= 0;
}

std::int64_t File::Size() {
  return state_->fd >= 0 ? state_->size : -1;
}

bool File::Seek(std::int64_t offset) {
  return state_->fd >= 0 && offset >= 0 && lseek(state_->fd, offset, SEEK_SET) == offset;
}

std::size_t File::Read(void* buffer, std::size_t count) {
  if (state_->fd < 0) return 0;
  // One system call: a caller that wants more asks again, and a small file
  // then costs no extra call that only finds its end.
  while (true) {
    const ssize_t n = read(state_->fd, buffer, count);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) return 0;
  }
}

void File::Close() {
  if (state_->fd >= 0) {
    close(state_->fd);
    state_->fd = -1;
  }
}

}  // namespace kelvane::platform
