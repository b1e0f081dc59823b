#include "bencode/Hashes.h"

#include <algorithm>
#include <utility>

#include "base/Exceptions.h"

namespace kelvane {

std::uint32_t HashKey(std::string_view key) {
  if (key.empty()) throw EHashInvalidKeyError("Key cannot be an empty string");
  std::uint32_t h = 0x12345670u;
  for (const char ch : key) {
    h = (h << 4) + static_cast<unsigned char>(ch);
    // The top nibble is ORed back in and never cleared, so the low bits that
    // pick the bucket depend on little more than the last two bytes of the
    // key; each bucket's own index copes with the crowding this allows.
    const std::uint32_t g = h & 0xF0000000u;
    if (g != 0) h |= g >> 24;
  }
  return h;
}

THash::THash() : SizeBits(kSizeBits), BucketCount(1 << SizeBits), BucketMask(BucketCount - 1) {}

THash::~THash() = default;

std::int32_t THash::Locate(std::string_view key, std::uint32_t& hash, std::int32_t& bucket) const {
  hash = HashKey(key);
  bucket = static_cast<std::int32_t>(hash & static_cast<std::uint32_t>(BucketMask));
  const THashBucket* records = BucketAt(bucket);
  return records == nullptr ? -1 : records->Find(key);
}

bool THash::FindKey(std::string_view key, std::int32_t& bucket, std::int32_t& position) const {
  std::uint32_t hash = 0;
  const std::int32_t found = Locate(key, hash, bucket);
  if (found < 0) return false;
  position = found;
  return true;
}

bool THash::Exists(std::string_view key) const {
  std::int32_t bucket = 0;
  std::int32_t position = 0;
  return FindKey(key, bucket, position);
}

std::int32_t THash::AllocateValueSlot() {
  if (FreeSlots.empty()) return LastValueSlot() + 1;
  const std::int32_t slot = FreeSlots.back();
  FreeSlots.pop_back();
  return slot;
}

void THash::AddRecord(std::int32_t bucket, std::uint32_t hash, std::string key, std::int32_t slot) {
  // Room first: once the bucket holds the record, nothing may fail.
  if (InsertionOrder.size() == InsertionOrder.capacity()) {
    InsertionOrder.reserve(std::max<std::size_t>(8, 2 * InsertionOrder.capacity()));
  }
  std::uint8_t& used = UsedBuckets[bucket];
  if (used == 0) {
    Buckets.push_back(std::make_unique<THashBucket>());
    used = static_cast<std::uint8_t>(Buckets.size());
  }
  const std::int32_t position = Buckets[used - 1]->Append(THashRecord{hash, slot, std::move(key)});
  InsertionOrder.emplace_back(bucket, position);
}

const std::string& THash::KeyAt(std::int32_t index) const {
  return RecordAt(index).Key;
}

const THashRecord& THash::RecordAt(std::int32_t index) const {
  const auto [bucket, position] = InsertionOrder[static_cast<std::size_t>(index)];
  return Record(bucket, position);
}

const THashRecord& THash::Record(std::int32_t bucket, std::int32_t position) const {
  return BucketAt(bucket)->Record(position);
}

THashBucket* THash::BucketAt(std::int32_t bucket) const {
  const std::uint8_t used = UsedBuckets[bucket];
  return used == 0 ? nullptr : Buckets[used - 1].get();
}

TObjectHash::TObjectHash() = default;

TObjectHash::~TObjectHash() {
  FreeAllValues();
}

TObject* TObjectHash::Items(std::string_view key) const {
  std::int32_t bucket = 0;
  std::int32_t position = 0;
  if (!FindKey(key, bucket, position)) {
    throw EHashFindError("Key \"" + std::string(key) + "\" not found");
  }
  return Values[Record(bucket, position).ValueSlot].get();
}

TObject* TObjectHash::ValueAt(std::int32_t index) const {
  return Values[RecordAt(index).ValueSlot].get();
}

void TObjectHash::Items(std::string_view key, std::unique_ptr<TObject> value) {
  Store(std::string(key), std::move(value));
}

void TObjectHash::Store(std::string key, std::unique_ptr<TObject> value) {
  std::uint32_t hash = 0;
  std::int32_t bucket = 0;
  const std::int32_t position = Locate(key, hash, bucket);
  if (position >= 0) {
    std::unique_ptr<TObject>& held = Values[Record(bucket, position).ValueSlot];
    // The very object already held must not be freed while the table keeps it.
    if (held == value) {
      static_cast<void>(value.release());
      return;
    }
    held = std::move(value);
    return;
  }
  const std::int32_t slot = AllocateValueSlot();
  if (slot > LastValueSlot()) Values.resize(static_cast<std::size_t>(slot) + 1);
  AddRecord(bucket, hash, std::move(key), slot);
  Values[slot] = std::move(value);
}

bool TObjectHash::IsSlot(std::int32_t slot) const {
  return slot >= 0 && static_cast<std::size_t>(slot) < Values.size();
}

void TObjectHash::FreeValueSlot(std::int32_t slot) {
  if (IsSlot(slot)) Values[slot].reset();
}

// A slot owns its value outright, so the value changes hands rather than
// being shared by two slots, and the value it displaces is freed, not lost.
void TObjectHash::MoveValueSlot(std::int32_t from, std::int32_t to) {
  if (IsSlot(from) && IsSlot(to) && from != to) Values[to] = std::move(Values[from]);
}

void TObjectHash::SetValueSlotCount(std::int32_t count) {
  Values.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
}

void TObjectHash::FreeAllValues() {
  for (std::unique_ptr<TObject>& value : Values) value.reset();
  Values.clear();
}

std::int32_t TObjectHash::LastValueSlot() const {
  return static_cast<std::int32_t>(Values.size()) - 1;
}

}  // namespace kelvane
