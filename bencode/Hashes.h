#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/Object.h"
#include "bencode/HashBucket.h"

namespace kelvane {

// The hash of a non-empty key; raises EHashInvalidKeyError for an empty one.
std::uint32_t HashKey(std::string_view key);

// Maps non-empty byte-string keys to numbered value slots in 128 buckets.
// Derived classes keep the values.
class THash : public TObject {
 public:
  THash();
  ~THash() override;

  // Looks the key up. bucket is always set; position (within the bucket) only
  // when found. Raises EHashInvalidKeyError for an empty key.
  bool FindKey(std::string_view key, std::int32_t& bucket, std::int32_t& position) const;
  // Raises EHashInvalidKeyError for an empty key, never for a missing one.
  bool Exists(std::string_view key) const;
  // The slot a new key takes: a freed one, else the next at the end.
  std::int32_t AllocateValueSlot();
  // The number of keys held.
  std::int32_t KeyCount() const { return static_cast<std::int32_t>(InsertionOrder.size()); }
  // The key stored index-th (from 0, below KeyCount()): keys come in the order
  // they were first stored, whatever bucket they fell in.
  const std::string& KeyAt(std::int32_t index) const;

  // Frees the value in slot and leaves the slot empty.
  virtual void FreeValueSlot(std::int32_t slot) = 0;
  // Hands the value in slot from over to slot to, freeing what to held.
  virtual void MoveValueSlot(std::int32_t from, std::int32_t to) = 0;
  // Resizes the value slots; new ones are empty, cut-off values are freed.
  virtual void SetValueSlotCount(std::int32_t count) = 0;
  // Frees every value from slot 0 upward and leaves no slot.
  virtual void FreeAllValues() = 0;
  // The number of value slots minus one.
  virtual std::int32_t LastValueSlot() const = 0;

 protected:
  // FindKey that also gives the key's hash; the position is -1 when the key
  // is missing. Raises EHashInvalidKeyError for an empty key.
  std::int32_t Locate(std::string_view key, std::uint32_t& hash, std::int32_t& bucket) const;
  // Appends a record for a key, and its hash, that Locate did not find in
  // bucket. May raise std::bad_alloc, leaving the table as it was.
  void AddRecord(std::int32_t bucket, std::uint32_t hash, std::string key, std::int32_t slot);
  const THashRecord& Record(std::int32_t bucket, std::int32_t position) const;
  // The record of KeyAt(index).
  const THashRecord& RecordAt(std::int32_t index) const;

  std::int32_t SizeBits;
  std::int32_t BucketCount;
  std::int32_t BucketMask;
  std::vector<std::int32_t> FreeSlots;

 private:
  static constexpr std::int32_t kSizeBits = 7;

  // The bucket numbered bucket, or null while it holds no key.
  THashBucket* BucketAt(std::int32_t bucket) const;

  // A decoded file can hold a great many small tables, so a bucket takes
  // memory only once it holds a key: UsedBuckets gives, for each bucket
  // number, one more than its place in Buckets, or 0 while it is empty.
  std::array<std::uint8_t, 1 << kSizeBits> UsedBuckets{};
  std::vector<std::unique_ptr<THashBucket>> Buckets;
  // Bucket and position of each record, in the order the keys were stored.
  std::vector<std::pair<std::int32_t, std::int32_t>> InsertionOrder;
};

// A THash whose values are objects it owns.
class TObjectHash : public THash {
 public:
  TObjectHash();
  // Frees every value once, from slot 0 upward.
  ~TObjectHash() override;

  // The value under key, still owned by the table (may be null). Raises
  // EHashFindError when the key is missing, EHashInvalidKeyError when empty.
  TObject* Items(std::string_view key) const;
  // Stores value (null allowed) under key and takes it over, freeing the value
  // it replaces. Raises EHashInvalidKeyError for an empty key; the table is
  // then unchanged and value is freed with the argument.
  void Items(std::string_view key, std::unique_ptr<TObject> value);
  // As Items set, but a new entry takes over the key's text instead of
  // copying it.
  void Store(std::string key, std::unique_ptr<TObject> value);
  // The value of KeyAt(index), still owned by the table (may be null).
  TObject* ValueAt(std::int32_t index) const;

  // The empty key, which the hash cannot take, has one value of its own kept
  // apart from the keyed ones (a v2 file tree marks each file with it). Null
  // when none was stored; storing replaces and frees the value held before.
  TObject* EmptyKeyValue() const { return EmptyKey.get(); }
  void StoreEmptyKeyValue(std::unique_ptr<TObject> value) { EmptyKey = std::move(value); }

  // Slots out of range are left alone.
  void FreeValueSlot(std::int32_t slot) override;
  void MoveValueSlot(std::int32_t from, std::int32_t to) override;
  void SetValueSlotCount(std::int32_t count) override;
  void FreeAllValues() override;
  std::int32_t LastValueSlot() const override;

 private:
  bool IsSlot(std::int32_t slot) const;

  std::vector<std::unique_ptr<TObject>> Values;
  std::unique_ptr<TObject> EmptyKey;
};

}  // namespace kelvane
