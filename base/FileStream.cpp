#include "base/FileStream.h"

#include <algorithm>
#include <cstring>

#include "base/Exceptions.h"

namespace kelvane {

namespace {
constexpr std::size_t kBufferSize = 64 * 1024;
}

TFileStream::TFileStream(const std::string& fileName) {
  if (!file_.Open(fileName)) throw EFOpenError("Cannot open file \"" + fileName + "\"");
}

TFileStream::~TFileStream() = default;

std::int64_t TFileStream::Position() const {
  return bufferStart_ + static_cast<std::int64_t>(bufferIndex_);
}

std::int64_t TFileStream::Size() {
  return file_.Size();
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  const std::int64_t target = origin == TSeekOrigin::Beginning ? offset : Position() + offset;
  if (target >= bufferStart_ && target <= bufferStart_ + static_cast<std::int64_t>(bufferLength_)) {
    bufferIndex_ = static_cast<std::size_t>(target - bufferStart_);
  } else {
    bufferStart_ = target;
    bufferLength_ = 0;
    bufferIndex_ = 0;
  }
  return target;
}

// Brings the handle to Position() and reads the next piece into the buffer.
std::size_t TFileStream::Refill() {
  const std::int64_t position = Position();
  bufferStart_ = position;
  bufferIndex_ = 0;
  bufferLength_ = 0;
  if (position != filePosition_ && !file_.Seek(position)) return 0;
  if (!buffer_) {
    // A small file gets a buffer of its own size, left uninitialised: many
    // small files are the common case.
    const std::int64_t size = file_.Size();
    bufferCapacity_ =
        size > 0 && size < std::int64_t(kBufferSize) ? std::size_t(size) : kBufferSize;
    buffer_ = std::make_unique_for_overwrite<char[]>(bufferCapacity_);
  }
  bufferLength_ = file_.Read(buffer_.get(), bufferCapacity_);
  filePosition_ = position + static_cast<std::int64_t>(bufferLength_);
  return bufferLength_;
}

std::size_t TFileStream::Read(void* buffer, std::size_t count) {
  if (Position() < 0) return 0;
  auto* out = static_cast<char*>(buffer);
  std::size_t delivered = 0;
  while (delivered < count) {
    if (bufferIndex_ == bufferLength_) {
      const std::size_t wanted = count - delivered;
      if (wanted >= kBufferSize) {
        // A large request goes straight into the caller's memory.
        const std::int64_t position = Position();
        if (position != filePosition_ && !file_.Seek(position)) break;
        std::size_t n = 0;
        while (n < wanted) {
          const std::size_t got = file_.Read(out + delivered + n, wanted - n);
          if (got == 0) break;
          n += got;
        }
        delivered += n;
        filePosition_ = position + static_cast<std::int64_t>(n);
        bufferStart_ = filePosition_;
        bufferLength_ = bufferIndex_ = 0;
        break;
      }
      if (Refill() == 0) break;
    }
    const std::size_t n = std::min(count - delivered, bufferLength_ - bufferIndex_);
    std::memcpy(out + delivered, buffer_.get() + bufferIndex_, n);
    bufferIndex_ += n;
    delivered += n;
  }
  return delivered;
}

}  // namespace kelvane
