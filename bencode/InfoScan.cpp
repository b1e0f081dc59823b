#include "bencode/InfoScan.h"

#include <algorithm>
#include <array>
#include <new>

#include "base/Exceptions.h"
#include "bencode/BDecode.h"
#include "bencode/DecodeErrors.h"

namespace kelvane {

namespace {

using TKind = TScannedValue::TKind;

bool IsDigit(unsigned char byte) {
  return byte >= '0' && byte <= '9';
}

// Bytes that neither start a value nor end a container: in a list each one
// is a value of nothing, so a run of them is passed over in one loop.
constexpr std::array<bool, 256> kStartsNothing = [] {
  std::array<bool, 256> table{};
  for (int byte = 0; byte < 256; ++byte) {
    table[byte] =
        !(byte >= '0' && byte <= '9') && byte != 'i' && byte != 'l' && byte != 'd' && byte != 'e';
  }
  return table;
}();

// Which dictionary a frame is: the root, the dictionary the root's current
// "info" entry is being read into, or any other.
enum class TScope : std::uint8_t { Other, Root, Info };

// What the root does with the value of its current entry besides noting it
// for a watched key: the decoder's own info record, or an entry of the same
// name the file supplies.
enum class TRole : std::uint8_t { Plain, Info, InfoStart, InfoLength };

// The index of key in keys, or -1.
std::int32_t Watched(const std::vector<std::string>& keys, std::string_view key) {
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (keys[i] == key) return static_cast<std::int32_t>(i);
  }
  return -1;
}

std::size_t LongestKey(const std::vector<std::string>& keys, std::size_t atLeast) {
  for (const std::string& key : keys) atLeast = std::max(atLeast, key.size());
  return atLeast;
}

}  // namespace

// One open list or dictionary.
struct TInfoScanner::TFrame {
  std::int64_t Start = 0;  // offset of its first byte
  bool IsDictionary = false;
  TScope Scope = TScope::Other;
  // For the entry whose value is being read, in a Root or Info scope.
  TRole Role = TRole::Plain;
  std::int32_t WatchedKey = -1;
};

TInfoScanner::TInfoScanner(TStream& stream, std::size_t holdLimit)
    : Stream(stream), StreamSize(stream.Size()), Capacity(std::max<std::size_t>(holdLimit, 1)) {
  const std::int64_t start = stream.Position();
  WindowStart = LimitOffset = start;
  // A stream that tells its size gets no bigger window than it can fill.
  if (StreamSize >= 0) {
    Capacity = static_cast<std::size_t>(
        std::clamp<std::int64_t>(StreamSize - start, 1, static_cast<std::int64_t>(Capacity)));
  }
}

TInfoScanner::~TInfoScanner() = default;

std::int64_t TInfoScanner::Position() const {
  return LimitOffset - (Limit - Next);
}

bool TInfoScanner::Refill() {
  if (Ended) return false;
  if (!Buffer) Buffer = std::make_unique_for_overwrite<char[]>(Capacity);
  WindowStart = LimitOffset;
  const std::size_t got = Stream.Read(Buffer.get(), Capacity);
  Next = Buffer.get();
  Limit = Next + got;
  LimitOffset += static_cast<std::int64_t>(got);
  if (got == 0) Ended = true;
  return got != 0;
}

inline bool TInfoScanner::Fetch(unsigned char& byte) {
  if (Next == Limit && !Refill()) return false;
  byte = static_cast<unsigned char>(*Next++);
  return true;
}

// The rest of a length prefix whose first digit was read, and its separator:
// 32 bits that wrap, as the decoder reads them.
std::int32_t TInfoScanner::ReadLength(unsigned char firstDigit) {
  auto length = static_cast<std::uint32_t>(firstDigit - '0');
  unsigned char byte = 0;
  while (Fetch(byte) && IsDigit(byte)) length = length * 10 + (byte - '0');
  return static_cast<std::int32_t>(length);
}

// Passes over length (positive) bytes of string content, or as many as the
// stream still holds.
void TInfoScanner::SkipContent(std::int32_t length) {
  const auto here = static_cast<std::size_t>(Limit - Next);
  if (static_cast<std::size_t>(length) <= here) {
    Next += length;
    return;
  }
  std::int64_t beyond = length - static_cast<std::int64_t>(here);
  Next = Limit;
  if (StreamSize < 0) {
    // A stream that cannot tell its size is read through.
    while (beyond > 0 && Refill()) {
      const std::int64_t take = std::min<std::int64_t>(beyond, Limit - Next);
      Next += take;
      beyond -= take;
    }
    return;
  }
  std::int64_t target = LimitOffset + beyond;
  if (target > StreamSize) {
    target = std::max(StreamSize, LimitOffset);
    Ended = true;
  }
  Stream.Seek(target, TSeekOrigin::Beginning);
  WindowStart = LimitOffset = target;
  Next = Limit = Buffer.get();
}

// Digits and any number of '-' up to one terminating byte; 64 bits that wrap.
std::int64_t TInfoScanner::ReadInteger() {
  std::uint64_t magnitude = 0;
  bool negative = false;
  unsigned char byte = 0;
  while (Fetch(byte)) {
    if (byte == '-') {
      negative = true;
    } else if (IsDigit(byte)) {
      magnitude = magnitude * 10 + (byte - '0');
    } else {
      break;
    }
  }
  return static_cast<std::int64_t>(negative ? 0 - magnitude : magnitude);
}

// A key after its first digit. Its text is given back only when it is at
// most keepUpTo bytes long; a longer key, like one that is not kept, comes
// back empty, the text of no key that is ever stored.
std::string_view TInfoScanner::ReadKey(unsigned char firstDigit, std::size_t keepUpTo) {
  const std::int32_t length = ReadLength(firstDigit);
  if (length <= 0) return {};
  if (static_cast<std::size_t>(length) > keepUpTo) {
    SkipContent(length);
    return {};
  }
  KeyText.clear();
  unsigned char byte = 0;
  for (std::int32_t i = 0; i < length && Fetch(byte); ++i) KeyText += static_cast<char>(byte);
  return KeyText;
}

void TInfoScanner::Run(const TScanKeys& keys, TInfoScan& scan) {
  scan.Root.assign(keys.Root.size(), {});
  scan.Info.assign(keys.Info.size(), {});
  // The watched entries of the info dictionary being read, until the root
  // stores it.
  std::vector<TScannedValue> candidate(keys.Info.size());
  const std::size_t keepRoot = LongestKey(keys.Root, sizeof "_info_length" - 1);
  const std::size_t keepInfo = LongestKey(keys.Info, 0);
  std::vector<TFrame> frames;
  frames.reserve(64);

  // Notes a value that has just ended as the current entry of the dictionary
  // on top, as DecodeStream stores it there.
  const auto store = [&](TKind kind, std::int64_t start, std::int64_t number) {
    const TFrame& top = frames.back();
    const TScannedValue value{kind, start, Position() - start, number};
    if (top.Scope == TScope::Info) {
      if (top.WatchedKey >= 0 && kind != TKind::None) candidate[top.WatchedKey] = value;
      return;
    }
    // A value that starts no value is not stored, so it changes nothing, but
    // the decoder's own info record is made all the same.
    switch (top.Role) {
      case TRole::Info:
        scan.InfoStart = {TKind::Integer, 0, 0, start};
        scan.InfoLength = {TKind::Integer, 0, 0, Ended ? -1 : Position() - start};
        if (kind == TKind::Dictionary) {
          scan.Info = candidate;
        } else if (kind != TKind::None) {
          scan.Info.assign(keys.Info.size(), {});
        }
        break;
      case TRole::InfoStart:
        if (kind != TKind::None) scan.InfoStart = value;
        break;
      case TRole::InfoLength:
        if (kind != TKind::None) scan.InfoLength = value;
        break;
      case TRole::Plain:
        break;
    }
    if (top.WatchedKey >= 0 && kind != TKind::None) scan.Root[top.WatchedKey] = value;
  };

  unsigned char byte = 0;
  if (!Fetch(byte)) return;
  for (;;) {
    // byte, just read, starts the next value, or starts none.
    std::int64_t start = Position() - 1;
    TKind kind = TKind::None;
    std::int64_t number = 0;
    bool ended = true;  // the value is over; false once a container opens
    if (IsDigit(byte)) {
      const std::int32_t length = ReadLength(byte);
      if (length > 0) SkipContent(length);
      kind = TKind::String;
    } else if (byte == 'i') {
      number = ReadInteger();
      kind = TKind::Integer;
    } else if (byte == 'l' || byte == 'd') {
      if (frames.size() >= static_cast<std::size_t>(kMaxNestingDepth)) RaiseNestingTooDeep();
      TScope scope = TScope::Other;
      if (byte == 'd' && frames.empty()) {
        scope = TScope::Root;
        scan.RootIsDictionary = true;
      } else if (byte == 'd' && frames.back().Scope == TScope::Root &&
                 frames.back().Role == TRole::Info) {
        scope = TScope::Info;
        candidate.assign(keys.Info.size(), {});
      }
      frames.push_back({start, byte == 'd', scope, TRole::Plain, -1});
      ended = false;
    }

    // Stores what has ended, closes what ends with it, and reads on to the
    // first byte of the next value.
    for (;;) {
      if (ended) {
        if (frames.empty()) return;
        if (frames.back().IsDictionary && frames.back().Scope != TScope::Other) {
          store(kind, start, number);
        }
      }
      TFrame& top = frames.back();
      if (!Fetch(byte) || byte == 'e') {
        kind = top.IsDictionary ? TKind::Dictionary : TKind::List;
        start = top.Start;
        number = 0;
        frames.pop_back();
        ended = true;
        continue;
      }
      if (!top.IsDictionary) {
        if (!kStartsNothing[byte]) break;
        while (Next != Limit && kStartsNothing[static_cast<unsigned char>(*Next)]) ++Next;
        ended = false;
        continue;
      }
      if (!IsDigit(byte)) RaiseNotAnInteger(static_cast<char>(byte));
      if (top.Scope == TScope::Other) {
        const std::int32_t length = ReadLength(byte);
        if (length > 0) SkipContent(length);
      } else {
        const std::string_view key = ReadKey(byte, top.Scope == TScope::Root ? keepRoot : keepInfo);
        top.Role = TRole::Plain;
        if (top.Scope == TScope::Root) {
          // A key the stream cut short is not the key it happens to spell.
          if (key == "info" && !Ended) top.Role = TRole::Info;
          if (key == "_info_start") top.Role = TRole::InfoStart;
          if (key == "_info_length") top.Role = TRole::InfoLength;
          top.WatchedKey = Watched(keys.Root, key);
        } else {
          top.WatchedKey = Watched(keys.Info, key);
        }
      }
      if (Fetch(byte)) break;
      // No byte for the value: nothing is stored, but the entry still ends.
      kind = TKind::None;
      start = Position();
      ended = true;
    }
  }
}

TInfoScan TInfoScanner::Scan(const TScanKeys& keys) {
  TInfoScan scan;
  try {
    Run(keys, scan);
  } catch (const std::bad_alloc&) {
    Stream.Seek(Position(), TSeekOrigin::Beginning);
    RaiseOutOfMemory();
  } catch (...) {
    Stream.Seek(Position(), TSeekOrigin::Beginning);
    throw;
  }
  Stream.Seek(Position(), TSeekOrigin::Beginning);
  return scan;
}

bool TInfoScanner::Held(std::int64_t offset, std::int64_t length, std::string_view& bytes) const {
  if (length == 0) {
    bytes = {};
    return true;
  }
  if (offset < WindowStart || offset > LimitOffset || length > LimitOffset - offset) return false;
  bytes = std::string_view(Buffer.get() + (offset - WindowStart), static_cast<std::size_t>(length));
  return true;
}

}  // namespace kelvane
