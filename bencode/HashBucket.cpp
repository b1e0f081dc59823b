#include "bencode/HashBucket.h"

#include <utility>

namespace kelvane {

namespace {

// Buckets up to this size are scanned; a scan of a few short keys beats
// walking a tree.
constexpr std::size_t kScanLimit = 8;

}  // namespace

std::int32_t THashBucket::Find(std::string_view key) const {
  if (!index_) {
    for (std::size_t i = 0; i < records_.size(); ++i) {
      if (records_[i].Key == key) return static_cast<std::int32_t>(i);
    }
    return -1;
  }
  const auto found = index_->Positions.find(key);
  return found == index_->Positions.end() ? -1 : *found;
}

std::int32_t THashBucket::Append(THashRecord record) {
  const auto position = static_cast<std::int32_t>(records_.size());
  records_.push_back(std::move(record));
  // The record goes again when the index cannot take it, so a failed
  // allocation leaves the bucket as it was.
  try {
    if (index_) {
      index_->Positions.insert(position);
    } else if (records_.size() > kScanLimit) {
      auto index = std::make_unique<TIndex>(records_);
      for (std::int32_t i = 0; i <= position; ++i) index->Positions.insert(i);
      index_ = std::move(index);
    }
  } catch (...) {
    records_.pop_back();
    throw;
  }
  return position;
}

}  // namespace kelvane
