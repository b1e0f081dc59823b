#include "bencode/HashBucket.h"

#include <functional>
#include <utility>

namespace kelvane {

namespace {

// Buckets up to this size are scanned; a scan of a few short keys beats
// hashing them a second time.
constexpr std::size_t kScanLimit = 8;
constexpr int kMinIndexBits = 5;

std::uint32_t IndexHash(std::string_view key) {
  const std::size_t full = std::hash<std::string_view>{}(key);
  return static_cast<std::uint32_t>(full ^ (full >> 32));
}

std::uint64_t Entry(std::uint32_t hash, std::int32_t position) {
  return std::uint64_t{hash} << 32 | static_cast<std::uint32_t>(position + 1);
}

std::uint32_t HashOf(std::uint64_t entry) {
  return static_cast<std::uint32_t>(entry >> 32);
}

std::int32_t PositionOf(std::uint64_t entry) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(entry)) - 1;
}

// Fibonacci hashing spreads the stored hash over the table from its top
// bits, so a table can grow without hashing the keys again.
std::size_t HomeSlot(std::uint32_t hash, int bits) {
  return (hash * 0x9E3779B9u) >> (32 - bits);
}

}  // namespace

std::int32_t THashBucket::Find(std::string_view key) const {
  if (index_.empty()) {
    for (std::size_t i = 0; i < records_.size(); ++i) {
      if (records_[i].Key == key) return static_cast<std::int32_t>(i);
    }
    return -1;
  }
  const std::uint32_t hash = IndexHash(key);
  const std::size_t mask = index_.size() - 1;
  for (std::size_t i = HomeSlot(hash, index_bits_); index_[i] != 0; i = (i + 1) & mask) {
    if (HashOf(index_[i]) != hash) continue;
    const std::int32_t position = PositionOf(index_[i]);
    if (records_[position].Key == key) return position;
  }
  return -1;
}

std::int32_t THashBucket::Append(THashRecord record) {
  const std::size_t count = records_.size() + 1;
  // The index is grown before the record goes in, so a failed allocation
  // leaves the bucket consistent. Load stays at or below three quarters.
  if (count > kScanLimit && count * 4 > index_.size() * 3) {
    Rebuild(index_.empty() ? kMinIndexBits : index_bits_ + 1);
  }
  const std::uint32_t hash = index_.empty() ? 0 : IndexHash(record.Key);
  records_.push_back(std::move(record));
  const auto position = static_cast<std::int32_t>(count - 1);
  if (!index_.empty()) Place(Entry(hash, position));
  return position;
}

void THashBucket::Rebuild(int bits) {
  std::vector<std::uint64_t> old(std::size_t{1} << bits, 0);
  index_.swap(old);
  index_bits_ = bits;
  if (old.empty()) {
    for (std::size_t i = 0; i < records_.size(); ++i) {
      Place(Entry(IndexHash(records_[i].Key), static_cast<std::int32_t>(i)));
    }
    return;
  }
  for (const std::uint64_t entry : old) {
    if (entry != 0) Place(entry);
  }
}

void THashBucket::Place(std::uint64_t entry) {
  const std::size_t mask = index_.size() - 1;
  std::size_t i = HomeSlot(HashOf(entry), index_bits_);
  while (index_[i] != 0) i = (i + 1) & mask;
  index_[i] = entry;
}

}  // namespace kelvane
