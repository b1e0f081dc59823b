#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "base/Object.h"
#include "base/Stream.h"
#include "bencode/Hashes.h"

namespace kelvane {

// A bencode scalar: a byte string (IsInt false, StrValue) or an integer
// (IsInt true, IntValue).
//
// A string value longer than kMaxHeldString bytes (in a metainfo file, the
// piece hashes) is not copied out of the stream: its StrValue stays empty
// and StrOffset/StrLength say where its delivered bytes lie. Keys are always
// held.
class TIntString : public TObject {
 public:
  std::string StrValue;
  std::int64_t IntValue = 0;
  bool IsInt = false;
  std::int64_t StrOffset = 0;
  std::int64_t StrLength = 0;
};

inline constexpr std::int64_t kMaxHeldString = 1 << 20;

// A bencode list; it owns its items.
class TObjectList : public TObject {
 public:
  // Appends item and takes it over.
  void Add(std::unique_ptr<TObject> item) { Items.push_back(std::move(item)); }
  std::size_t Count() const { return Items.size(); }
  // The item at index (below Count()), still owned by the list.
  TObject* Item(std::size_t index) const { return Items[index].get(); }

 private:
  std::vector<std::unique_ptr<TObject>> Items;
};

// Input nested deeper than this is refused with ENestingTooDeep.
inline constexpr int kMaxNestingDepth = 1024;

// A string's declared length after one more digit (0 to 9) is appended: a
// number that never wraps. A length beyond what 63 bits hold stays at
// kUnusableLength, more bytes than any stream holds, so the string runs to
// the stream's end as any string declared longer than its stream does.
inline constexpr std::int64_t kUnusableLength = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t AppendLengthDigit(std::int64_t length, int digit) {
  // Below this bound the next digit always fits.
  if (length < kUnusableLength / 10) [[likely]]
    return length * 10 + digit;
  return length == kUnusableLength / 10 && digit <= kUnusableLength % 10 ? length * 10 + digit
                                                                         : kUnusableLength;
}

// Decodes one value from the stream's position and leaves the stream just
// after the last byte it consumed; null at the end of the stream or when the
// first byte starts no value. The end of the stream closes whatever is open,
// and a string declared longer than the rest of the stream (AppendLengthDigit
// reads its length) holds the bytes that were there. In every dictionary holding a key "info" it
// records
// "_info_start", where the value starts, and "_info_length", the number of
// bytes it takes, or -1 when the stream ends inside it: before its first
// byte, inside a string, an integer or a length, or with a list or
// dictionary still open. A value under the empty key is kept as the
// dictionary's EmptyKeyValue. The caller owns the result. Raises EConvertError (a
// key not starting with a digit), EOutOfMemory and ENestingTooDeep.
std::unique_ptr<TObject> DecodeStream(TStream& stream);

}  // namespace kelvane
