#include "platform/posix/Errors.h"

#include <cerrno>
#include <cstring>

#include "platform/Platform.h"

namespace kelvane::platform {

namespace {
// Each thread's own, as GetLastError's is.
thread_local std::uint32_t lastError = 0;
}  // namespace

// Above every errno value.
const std::uint32_t kErrorNoMatch = 0x10000;

void KeepError(std::uint32_t code) {
  lastError = code;
}

std::uint32_t LastError() {
  return lastError;
}

const std::uint32_t kErrorNoMemory = ENOMEM;

bool IsResourceShortage(std::uint32_t code) {
  return code == EMFILE || code == ENFILE || code == ENOMEM || code == EAGAIN;
}

bool IsNoFile(std::uint32_t code) {
  return code == ENOENT || code == ENOTDIR || code == EISDIR;
}

std::string ErrorText(std::uint32_t code) {
  return std::strerror(static_cast<int>(code));
}

}  // namespace kelvane::platform
