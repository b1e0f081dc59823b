#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

// One entry of a bucket.
struct THashRecord {
  std::uint32_t KeyHash = 0;
  std::int32_t ValueSlot = 0;
  std::string Key;
};

// One bucket of a THash: its records in the order their keys were inserted.
// Keys chosen to share a bucket are cheap to make, so past a few records the
// bucket keeps an index that finds a key without scanning every record.
class THashBucket {
 public:
  // The position of the record holding key, or -1 when there is none.
  std::int32_t Find(std::string_view key) const;
  // Appends a record whose key the bucket does not hold yet; returns its
  // position. May raise std::bad_alloc, leaving the bucket as it was.
  std::int32_t Append(THashRecord record);
  const THashRecord& Record(std::int32_t position) const { return records_[position]; }
  std::int32_t Count() const { return static_cast<std::int32_t>(records_.size()); }

 private:
  void Rebuild(int bits);
  void Place(std::uint64_t entry);

  std::vector<THashRecord> records_;
  // Open addressing: each entry holds a 32-bit hash of its key above the
  // record's position plus one, so 0 marks a free slot and most probes that
  // miss never touch a record. Empty while the bucket is small enough to scan.
  std::vector<std::uint64_t> index_;
  int index_bits_ = 0;
};

}  // namespace kelvane
