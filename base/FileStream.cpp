#include "base/FileStream.h"

#include <algorithm>
#include <cstring>

#include "base/Exceptions.h"

namespace kelvane {

namespace {
constexpr std::size_t kBufferSize = 64 * 1024;
}

TFileStream::TFileStream(const std::string& fileName) {
  if (!Source.Open(fileName)) {
    const std::uint32_t code = platform::LastError();
    if (platform::IsResourceShortage(code)) {
      throw EOutOfResources(platform::ErrorText(code), fileName, code);
    }
    throw EFOpenError("Cannot open file \"" + fileName + "\"", fileName, code);
  }
  // Taken once: no writer can change it on Windows, and the POSIX backend
  // gives the size at the open in any case.
  SizeAtOpen = Source.Size();
}

TFileStream::TFileStream(TStandardInput) {
  if (!Source.OpenStandardInput()) throw EFOpenError("Cannot open standard input");
}

TFileStream::~TFileStream() = default;

std::int64_t TFileStream::Position() const {
  return BufferStart + static_cast<std::int64_t>(BufferIndex);
}

std::int64_t TFileStream::Size() {
  return SizeAtOpen;
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  const std::int64_t target = origin == TSeekOrigin::Beginning ? offset : Position() + offset;
  if (target >= BufferStart && target <= BufferStart + static_cast<std::int64_t>(BufferLength)) {
    BufferIndex = static_cast<std::size_t>(target - BufferStart);
  } else {
    BufferStart = target;
    BufferLength = 0;
    BufferIndex = 0;
  }
  return target;
}

// The bytes one piece holds: a small file gets a buffer of its own size.
std::size_t TFileStream::PieceSize() {
  if (Buffer) return BufferCapacity;
  return SizeAtOpen > 0 && SizeAtOpen < std::int64_t(kBufferSize) ? std::size_t(SizeAtOpen)
                                                                  : kBufferSize;
}

// Brings the handle to Position() and reads the next piece into the buffer.
std::size_t TFileStream::Refill() {
  const std::int64_t position = Position();
  BufferStart = position;
  BufferIndex = 0;
  BufferLength = 0;
  if (position != FilePosition && !Source.Seek(position)) return 0;
  if (!Buffer) {
    // Left uninitialised: many small files are the common case.
    BufferCapacity = PieceSize();
    Buffer = std::make_unique_for_overwrite<char[]>(BufferCapacity);
  }
  BufferLength = Source.Read(Buffer.get(), BufferCapacity);
  FilePosition = position + static_cast<std::int64_t>(BufferLength);
  return BufferLength;
}

std::size_t TFileStream::Read(void* buffer, std::size_t count) {
  if (Position() < 0) return 0;
  auto* out = static_cast<char*>(buffer);
  std::size_t delivered = 0;
  while (delivered < count) {
    if (BufferIndex == BufferLength) {
      const std::size_t wanted = count - delivered;
      if (wanted >= PieceSize()) {
        // A request for a piece or more goes straight into the caller's
        // memory: a small file read whole is read once, and not copied.
        const std::int64_t position = Position();
        if (position != FilePosition && !Source.Seek(position)) break;
        std::size_t n = 0;
        while (n < wanted) {
          const std::size_t got = Source.Read(out + delivered + n, wanted - n);
          if (got == 0) break;
          n += got;
        }
        delivered += n;
        FilePosition = position + static_cast<std::int64_t>(n);
        BufferStart = FilePosition;
        BufferLength = BufferIndex = 0;
        break;
      }
      if (Refill() == 0) break;
    }
    const std::size_t n = std::min(count - delivered, BufferLength - BufferIndex);
    std::memcpy(out + delivered, Buffer.get() + BufferIndex, n);
    BufferIndex += n;
    delivered += n;
  }
  return delivered;
}

}  // namespace kelvane
