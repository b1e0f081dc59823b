#include "bencode/HashBucket.h"

#include <algorithm>
#include <functional>
#include <utility>

namespace kelvane {

namespace {

// Buckets up to this size are scanned; a scan of a few short keys beats
// hashing them a second time.
constexpr std::size_t kScanLimit = 8;
constexpr std::size_t kMinIndexSlots = 32;

std::size_t IndexHash(std::string_view key) {
  return std::hash<std::string_view>{}(key);
}

}  // namespace

std::int32_t THashBucket::Find(std::string_view key) const {
  if (index_.empty()) {
    for (std::size_t i = 0; i < records_.size(); ++i) {
      if (records_[i].Key == key) return static_cast<std::int32_t>(i);
    }
    return -1;
  }
  const std::size_t mask = index_.size() - 1;
  for (std::size_t i = IndexHash(key) & mask; index_[i] != 0; i = (i + 1) & mask) {
    const std::int32_t position = index_[i] - 1;
    if (records_[position].Key == key) return position;
  }
  return -1;
}

std::int32_t THashBucket::Append(THashRecord record) {
  const std::size_t count = records_.size() + 1;
  // The index is grown before the record goes in, so a failed allocation
  // leaves the bucket consistent.
  if (count > kScanLimit && count * 2 > index_.size()) {
    Rebuild(std::max(kMinIndexSlots, index_.size() * 2));
  }
  records_.push_back(std::move(record));
  const auto position = static_cast<std::int32_t>(count - 1);
  if (!index_.empty()) Place(position);
  return position;
}

// Load stays at or below one half, so probe runs stay short.
void THashBucket::Rebuild(std::size_t slot_count) {
  std::vector<std::int32_t> fresh(slot_count, 0);
  index_.swap(fresh);
  for (std::size_t i = 0; i < records_.size(); ++i) Place(static_cast<std::int32_t>(i));
}

void THashBucket::Place(std::int32_t position) {
  const std::size_t mask = index_.size() - 1;
  std::size_t i = IndexHash(records_[position].Key) & mask;
  while (index_[i] != 0) i = (i + 1) & mask;
  index_[i] = position + 1;
}

}  // namespace kelvane
