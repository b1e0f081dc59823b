#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Platform.h"
#include "platform/posix/Errors.h"

namespace kelvane::platform {

std::uint32_t FileAttributes(const std::string& name) {
  struct stat info;
  if (name.empty()) {
    KeepError(ENOENT);
    return kInvalidFileAttributes;
  }
  if (stat(name.c_str(), &info) != 0) {
    const int error = errno;
    // A link that leads nowhere is still an entry: opening it is what fails.
    if (lstat(name.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) return kAttributeArchive;
    KeepError(static_cast<std::uint32_t>(error));
    return kInvalidFileAttributes;
  }
  // Only the directory bit means anything to the program.
  return S_ISDIR(info.st_mode) ? kAttributeDirectory : kAttributeArchive;
}

struct TFile::TState {
  int Fd = -1;
  std::string Name;         // as the system was given it
  struct stat Opened {};    // taken when the file was opened
  std::int64_t Offset = 0;  // where the next read starts
  bool EndedEarly = false;  // a read found the end, or failed, before Opened.st_size
};

TFile::TFile() : State(std::make_unique<TState>()) {}
TFile::~TFile() {
  Close();
}

bool TFile::Open(const std::string& name) {
  Close();
  // Non-blocking, so that a FIFO without a writer cannot hang the run; it
  // makes no difference to reading a regular file.
  int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    KeepError(static_cast<std::uint32_t>(errno));
    return false;
  }
  struct stat info;
  // Windows refuses to open a directory as a file; so does this emulation.
  const bool statted = fstat(fd, &info) == 0;
  if (!statted || S_ISDIR(info.st_mode)) {
    KeepError(statted ? EISDIR : static_cast<std::uint32_t>(errno));
    close(fd);
    return false;
  }
  *State = {fd, name, info, 0, false};
  return true;
}

bool TFile::IsOpen() const {
  return State->Fd >= 0;
}

std::int64_t TFile::Size() {
  return State->Fd >= 0 ? State->Opened.st_size : -1;
}

bool TFile::Seek(std::int64_t offset) {
  if (State->Fd < 0 || offset < 0 || lseek(State->Fd, offset, SEEK_SET) != offset) return false;
  State->Offset = offset;
  return true;
}

std::size_t TFile::Read(void* buffer, std::size_t count) {
  if (State->Fd < 0) return 0;
  // One system call: a caller that wants more asks again, and a small file
  // then costs no extra call that only finds its end.
  while (true) {
    const ssize_t n = read(State->Fd, buffer, count);
    if (n > 0) {
      State->Offset += n;
      return static_cast<std::size_t>(n);
    }
    if (n < 0 && errno == EINTR) continue;
    // Nothing where the file held bytes at the open: it was cut meanwhile,
    // or it cannot be read.
    if (count > 0 && State->Offset < State->Opened.st_size) State->EndedEarly = true;
    return 0;
  }
}

bool TFile::Unchanged() const {
  const struct stat& opened = State->Opened;
  struct stat now;
  return State->Fd >= 0 && !State->EndedEarly && stat(State->Name.c_str(), &now) == 0 &&
         now.st_dev == opened.st_dev && now.st_ino == opened.st_ino &&
         now.st_size == opened.st_size && now.st_mtim.tv_sec == opened.st_mtim.tv_sec &&
         now.st_mtim.tv_nsec == opened.st_mtim.tv_nsec;
}

void TFile::Close() {
  if (State->Fd >= 0) {
    close(State->Fd);
    State->Fd = -1;
  }
}

}  // namespace kelvane::platform
