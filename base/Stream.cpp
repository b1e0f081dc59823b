#include "base/Stream.h"

#include <algorithm>
#include <cstring>

namespace kelvane {

TMemoryStream::TMemoryStream(std::string_view bytes) : bytes_(bytes) {}

std::size_t TMemoryStream::Read(void* buffer, std::size_t count) {
  const auto size = static_cast<std::int64_t>(bytes_.size());
  if (position_ < 0 || position_ >= size || count == 0) return 0;
  const std::size_t n = std::min(count, static_cast<std::size_t>(size - position_));
  std::memcpy(buffer, bytes_.data() + position_, n);
  position_ += static_cast<std::int64_t>(n);
  return n;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  position_ = origin == TSeekOrigin::Beginning ? offset : position_ + offset;
  return position_;
}

}  // namespace kelvane
