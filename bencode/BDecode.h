#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/Object.h"
#include "base/Stream.h"
#include "bencode/Hashes.h"

namespace kelvane {

// A bencode scalar: a byte string (IsInt false, StrValue) or an integer
// (IsInt true, IntValue).
class TIntString : public TObject {
 public:
  std::string StrValue;
  std::int64_t IntValue = 0;
  bool IsInt = false;
};

// A bencode list; it owns its items.
class TObjectList : public TObject {
 public:
  void Add(std::unique_ptr<TObject> item) { items_.push_back(std::move(item)); }
  std::size_t Count() const { return items_.size(); }
  TObject* Item(std::size_t index) const { return items_[index].get(); }

 private:
  std::vector<std::unique_ptr<TObject>> items_;
};

// Input nested deeper than this is refused with ENestingTooDeep.
inline constexpr int kMaxNestingDepth = 1024;

// Decodes one value from the stream's position; null at the end of the
// stream or when the first byte starts no value. In every dictionary holding
// a key "info" it records "_info_start" and "_info_length". The caller owns
// the result. Raises EConvertError (a key not starting with a digit),
// EOutOfMemory and ENestingTooDeep.
std::unique_ptr<TObject> DecodeStream(TStream& stream);

}  // namespace kelvane
