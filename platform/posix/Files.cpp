#include <fcntl.h>
#include <poll.h>
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
  if (S_ISDIR(info.st_mode)) return kAttributeDirectory;
  return S_ISREG(info.st_mode) ? kAttributeArchive : kAttributeDevice;
}

namespace {

// Waits until fd has bytes to read or has ended (POLLHUP: every writer has
// gone). A FIFO opened before any writer reports neither until one comes.
bool WaitForBytes(int fd) {
  pollfd watched{fd, POLLIN, 0};
  while (true) {
    const int n = poll(&watched, 1, -1);
    if (n > 0) return true;
    if (n < 0 && errno != EINTR) return false;
  }
}

// A larger pipe lets the writer run ahead by more than the usual 64 KiB, so
// that both sides switch less often; where the system refuses, nothing is
// lost.
void WidenPipe(int fd, const struct stat& info) {
#ifdef F_SETPIPE_SZ
  if (S_ISFIFO(info.st_mode)) fcntl(fd, F_SETPIPE_SZ, 1 << 20);
#else
  (void)fd, (void)info;
#endif
}

}  // namespace

struct TFile::TState {
  int Fd = -1;
  struct stat Opened {};    // taken when the file was opened
  std::int64_t Offset = 0;  // where the next read starts
  bool EndedEarly = false;  // a read found the end, or failed, before Opened.st_size
  bool Stream = false;      // no regular file: read to its end, never compared
  bool Owned = true;        // closed by Close (standard input is not)
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
  *State = {fd, info, 0, false, !S_ISREG(info.st_mode), true};
  WidenPipe(fd, info);
  return true;
}

bool TFile::OpenStandardInput() {
  Close();
  struct stat info;
  if (fstat(STDIN_FILENO, &info) != 0) return false;
  *State = {STDIN_FILENO, info, 0, false, true, false};
  WidenPipe(STDIN_FILENO, info);
  return true;
}

bool TFile::IsOpen() const {
  return State->Fd >= 0;
}

bool TFile::IsStream() const {
  return State->Stream;
}

std::int64_t TFile::Size() {
  return State->Fd >= 0 && !State->Stream ? State->Opened.st_size : -1;
}

bool TFile::Seek(std::int64_t offset) {
  if (State->Fd < 0 || State->Stream || offset < 0 ||
      lseek(State->Fd, offset, SEEK_SET) != offset) {
    return false;
  }
  State->Offset = offset;
  return true;
}

std::size_t TFile::Read(void* buffer, std::size_t count) {
  if (State->Fd < 0) return 0;
  // A FIFO opened without waiting reads as ended until a writer comes: its
  // first read waits for one, or for bytes, as a blocking open would.
  if (State->Stream && State->Offset == 0 && !WaitForBytes(State->Fd)) {
    State->EndedEarly = true;
    return 0;
  }
  // One system call: a caller that wants more asks again, and a small file
  // then costs no extra call that only finds its end.
  while (true) {
    const ssize_t n = read(State->Fd, buffer, count);
    if (n > 0) {
      State->Offset += n;
      return static_cast<std::size_t>(n);
    }
    if (n < 0 && errno == EINTR) continue;
    // A stream its parent or the open left non-blocking.
    if (n < 0 && errno == EAGAIN && State->Stream && WaitForBytes(State->Fd)) continue;
    // Nothing where the file held bytes at the open: it was cut meanwhile,
    // or it cannot be read. A stream ends where it ends.
    if (count > 0 && (n < 0 || (!State->Stream && State->Offset < State->Opened.st_size))) {
      State->EndedEarly = true;
    }
    return 0;
  }
}

namespace {

bool SameTime(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace

// Asked of the open file, not of its name: a lookup of the name would cost as
// much as the open did. What the name check would see shows on the file all
// the same: a rename over its name, a removal or a rename of it changes its
// status-change time or leaves it without a link.
bool TFile::Unchanged() const {
  const struct stat& opened = State->Opened;
  struct stat now;
  if (State->Stream) return State->Fd >= 0 && !State->EndedEarly;
  return State->Fd >= 0 && !State->EndedEarly && fstat(State->Fd, &now) == 0 &&
         now.st_nlink > 0 && now.st_size == opened.st_size &&
         SameTime(now.st_mtim, opened.st_mtim) && SameTime(now.st_ctim, opened.st_ctim);
}

void TFile::Close() {
  if (State->Fd >= 0 && State->Owned) close(State->Fd);
  State->Fd = -1;
}

}  // namespace kelvane::platform
