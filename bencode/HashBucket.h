#pragma once

#include <cstdint>
#include <memory>
#include <memory_resource>
#include <set>
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
// bucket keeps an index that finds a key without scanning every record. The
// index orders the keys by their bytes rather than hashing them: keys can be
// chosen to collide in any fixed hash just as cheaply, and an order bounds
// every lookup by the logarithm of the bucket's size whatever the keys are.
class THashBucket {
 public:
  THashBucket() = default;
  // The index refers to this bucket's own records.
  THashBucket(const THashBucket&) = delete;
  THashBucket& operator=(const THashBucket&) = delete;

  // The position of the record holding key, or -1 when there is none.
  std::int32_t Find(std::string_view key) const;
  // Appends a record whose key the bucket does not hold yet; returns its
  // position. May raise std::bad_alloc, leaving the bucket as it was.
  std::int32_t Append(THashRecord record);
  const THashRecord& Record(std::int32_t position) const { return Records[position]; }
  std::int32_t Count() const { return static_cast<std::int32_t>(Records.size()); }

 private:
  // Compares record positions by their keys, and a position with a key text.
  struct TKeyOrder {
    using is_transparent = void;
    const std::vector<THashRecord>* Records;
    std::string_view KeyAt(std::int32_t position) const { return (*Records)[position].Key; }
    bool operator()(std::int32_t a, std::int32_t b) const { return KeyAt(a) < KeyAt(b); }
    bool operator()(std::int32_t a, std::string_view b) const { return KeyAt(a) < b; }
    bool operator()(std::string_view a, std::int32_t b) const { return a < KeyAt(b); }
  };

  // Positions of all records, ordered by key. Nothing is ever erased, so the
  // nodes come from a pool of their own rather than one heap call each.
  struct TIndex {
    explicit TIndex(const std::vector<THashRecord>& records)
        : Positions(TKeyOrder{&records}, &Pool) {}
    std::pmr::monotonic_buffer_resource Pool;
    std::pmr::set<std::int32_t, TKeyOrder> Positions;
  };

  std::vector<THashRecord> Records;
  // Made once the bucket is too big to scan.
  std::unique_ptr<TIndex> Index;
};

}  // namespace kelvane
