#include "bencode/HashBucket.h"

#include <utility>

namespace kelvane {

namespace {

// Buckets up to this size are scanned; a scan of a few short keys beats
// walking a tree.
constexpr std::size_t kScanLimit = 8;

}  // namespace

std::int32_t THashBucket::Find(std::string_view key) const {
  if (index_.empty()) {
    for (std::size_t i = 0; i < records_.size(); ++i) {
      if (records_[i].Key == key) return static_cast<std::int32_t>(i);
    }
    return -1;
  }
  const auto found = index_.find(key);
  return found == index_.end() ? -1 : *found;
}

std::int32_t THashBucket::Append(THashRecord record) {
  const auto position = static_cast<std::int32_t>(records_.size());
  records_.push_back(std::move(record));
  // The record goes again when the index cannot take it, so a failed
  // allocation leaves the bucket as it was.
  try {
    if (!index_.empty()) {
      index_.insert(position);
    } else if (records_.size() > kScanLimit) {
      IndexAll();
    }
  } catch (...) {
    records_.pop_back();
    throw;
  }
  return position;
}

// Builds the index from scratch; on failure the bucket goes on scanning.
void THashBucket::IndexAll() {
  try {
    for (std::size_t i = 0; i < records_.size(); ++i) {
      index_.insert(static_cast<std::int32_t>(i));
    }
  } catch (...) {
    index_.clear();
    throw;
  }
}

}  // namespace kelvane
