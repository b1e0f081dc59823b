#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/Object.h"

namespace kelvane {

// The hash of a non-empty key; raises EHashInvalidKeyError for an empty one.
std::uint32_t HashKey(std::string_view key);

// One entry of a bucket.
struct THashRecord {
  std::uint32_t KeyHash = 0;
  std::int32_t ValueSlot = 0;
  std::string Key;
};

// Maps non-empty byte-string keys to numbered value slots in 128 buckets.
// Derived classes keep the values.
class THash : public TObject {
 public:
  THash();
  ~THash() override;

  // Looks the key up. bucket is always set; position only when found.
  // Raises EHashInvalidKeyError for an empty key.
  bool FindKey(std::string_view key, std::int32_t& bucket, std::int32_t& position) const;
  // Raises EHashInvalidKeyError for an empty key, never for a missing one.
  bool Exists(std::string_view key) const;
  // The slot a new key takes: a freed one, else the next at the end.
  std::int32_t AllocateValueSlot();

  virtual void FreeValueSlot(std::int32_t slot) = 0;
  virtual void MoveValueSlot(std::int32_t from, std::int32_t to) = 0;
  virtual void SetValueSlotCount(std::int32_t count) = 0;
  virtual void FreeAllValues() = 0;
  virtual std::int32_t LastValueSlot() const = 0;

 protected:
  // Appends a record for a key that FindKey did not find.
  void AddRecord(std::int32_t bucket, std::string_view key, std::int32_t slot);
  const THashRecord& Record(std::int32_t bucket, std::int32_t position) const;

  std::int32_t SizeBits;
  std::int32_t BucketCount;
  std::int32_t BucketMask;
  std::vector<std::int32_t> FreeSlots;

 private:
  struct TBucket;
  std::vector<TBucket> Buckets;
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
  // Stores value under key, freeing the value it replaces. Raises
  // EHashInvalidKeyError for an empty key; the value is then dropped unstored.
  void Items(std::string_view key, std::unique_ptr<TObject> value);

  void FreeValueSlot(std::int32_t slot) override;
  void MoveValueSlot(std::int32_t from, std::int32_t to) override;
  void SetValueSlotCount(std::int32_t count) override;
  void FreeAllValues() override;
  std::int32_t LastValueSlot() const override;

 private:
  std::vector<std::unique_ptr<TObject>> Values;
};

}  // namespace kelvane
