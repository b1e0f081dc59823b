#include "bencode/HashBucket.h"

#include <utility>

namespace kelvane {

namespace {

// Buckets up to this size are scanned; a scan of a few short keys beats
// walking a tree.
constexpr std::size_t kScanLimit = 8;

}  // namespace

std::int32_t THashBucket::Find(std::string_view key) const {
  if (!Index) {
    for (std::size_t i = 0; i < Records.size(); ++i) {
      if (Records[i].Key == key) return static_cast<std::int32_t>(i);
    }
    return -1;
  }
  const auto found = Index->Positions.find(key);
  return found == Index->Positions.end() ? -1 : *found;
}

std::int32_t THashBucket::Append(THashRecord record) {
  const auto position = static_cast<std::int32_t>(Records.size());
  Records.push_back(std::move(record));
  // The record goes again when the index cannot take it, so a failed
  // allocation leaves the bucket as it was.
  try {
    if (Index) {
      Index->Positions.insert(position);
    } else if (Records.size() > kScanLimit) {
      auto index = std::make_unique<TIndex>(Records);
      for (std::int32_t i = 0; i <= position; ++i) index->Positions.insert(i);
      Index = std::move(index);
    }
  } catch (...) {
    Records.pop_back();
    throw;
  }
  return position;
}

}  // namespace kelvane
