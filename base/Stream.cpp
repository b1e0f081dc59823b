#include "base/Stream.h"

#include <algorithm>
#include <cstring>

#include "base/Exceptions.h"

namespace kelvane {

void TStream::ReadExactly(void* buffer, std::size_t count) {
  auto* out = static_cast<char*>(buffer);
  for (std::size_t have = 0; have < count;) {
    const std::size_t got = Read(out + have, count - have);
    if (got == 0) throw EReadError("Stream read error");
    have += got;
  }
}

TMemoryStream::TMemoryStream(std::string_view bytes) : Bytes(bytes) {}

std::size_t TMemoryStream::Read(void* buffer, std::size_t count) {
  const auto size = static_cast<std::int64_t>(Bytes.size());
  if (Current < 0 || Current >= size || count == 0) return 0;
  const std::size_t n = std::min(count, static_cast<std::size_t>(size - Current));
  std::memcpy(buffer, Bytes.data() + Current, n);
  Current += static_cast<std::int64_t>(n);
  return n;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  Current = origin == TSeekOrigin::Beginning ? offset : Current + offset;
  return Current;
}

}  // namespace kelvane
