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

// Which dictionary a frame is.
enum class TScope : std::uint8_t { Root, Info };

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

// The root dictionary, or the dictionary the root's "info" entry is being
// read into: the only containers whose entries a scan looks at.
struct TInfoScanner::TFrame {
  std::int64_t Start = 0;  // offset of its first byte
  TScope Scope = TScope::Root;
  // For the entry whose value is being read.
  TRole Role = TRole::Plain;
  std::int32_t WatchedKey = -1;
};

TInfoScanner::TInfoScanner(TStream& stream, std::size_t holdLimit)
    : Stream(&stream), StreamSize(stream.Size()), Capacity(std::max<std::size_t>(holdLimit, 1)) {
  const std::int64_t start = stream.Position();
  WindowStart = LimitOffset = start;
  // A stream that tells its size gets no bigger window than it can fill.
  if (StreamSize >= 0) {
    Capacity = static_cast<std::size_t>(
        std::clamp<std::int64_t>(StreamSize - start, 1, static_cast<std::int64_t>(Capacity)));
  }
}

TInfoScanner::TInfoScanner(std::string_view bytes)
    : Stream(nullptr),
      StreamSize(static_cast<std::int64_t>(bytes.size())),
      Capacity(bytes.size()),
      Window(bytes.data()),
      Next(bytes.data()),
      Limit(bytes.data() + bytes.size()),
      LimitOffset(StreamSize) {}

TInfoScanner::~TInfoScanner() = default;

std::int64_t TInfoScanner::Position() const {
  return LimitOffset - (Limit - Next);
}

// Out of line: it runs once a window, and the byte readers that call it are
// inlined in the scan's loop.
[[gnu::noinline]] bool TInfoScanner::Refill() {
  if (Ended || Stream == nullptr) {
    Ended = true;
    return false;
  }
  if (!Buffer) Window = (Buffer = std::make_unique_for_overwrite<char[]>(Capacity)).get();
  WindowStart = LimitOffset;
  const std::size_t got = Stream->Read(Buffer.get(), Capacity);
  Next = Window;
  Limit = Next + got;
  LimitOffset += static_cast<std::int64_t>(got);
  if (got == 0) Ended = true;
  return got != 0;
}

[[gnu::always_inline]] inline bool TInfoScanner::Fetch(unsigned char& byte) {
  if (Next == Limit && !Refill()) return false;
  byte = static_cast<unsigned char>(*Next++);
  return true;
}

// The rest of a length prefix whose first digit was read, and its separator:
// 32 bits that wrap, as the decoder reads them. The digits are read straight
// from the window while it lasts.
[[gnu::always_inline]] inline std::int32_t TInfoScanner::ReadLength(unsigned char firstDigit) {
  auto length = static_cast<std::uint32_t>(firstDigit - '0');
  const char* next = Next;
  const char* const limit = Limit;
  while (next != limit) {
    const auto byte = static_cast<unsigned char>(*next++);
    if (!IsDigit(byte)) {
      Next = next;
      return static_cast<std::int32_t>(length);
    }
    length = length * 10 + (byte - '0');
  }
  Next = next;
  unsigned char byte = 0;
  while (Fetch(byte) && IsDigit(byte)) length = length * 10 + (byte - '0');
  return static_cast<std::int32_t>(length);
}

// Passes over length (positive) bytes of string content, or as many as the
// stream still holds.
[[gnu::always_inline]] inline void TInfoScanner::SkipContent(std::int32_t length) {
  if (static_cast<std::size_t>(length) <= static_cast<std::size_t>(Limit - Next)) {
    Next += length;
  } else {
    SkipBeyondWindow(length - (Limit - Next));
  }
}

// Passes over the rest of the window and beyond more bytes after it.
[[gnu::noinline]] void TInfoScanner::SkipBeyondWindow(std::int64_t beyond) {
  Next = Limit;
  if (Stream == nullptr) {
    // The window holds all there is.
    Ended = true;
    return;
  }
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
  Stream->Seek(target, TSeekOrigin::Beginning);
  WindowStart = LimitOffset = target;
  Next = Limit = Window;
}

// Digits and any number of '-' up to one terminating byte; 64 bits that wrap.
[[gnu::always_inline]] inline std::int64_t TInfoScanner::ReadInteger() {
  std::uint64_t magnitude = 0;
  bool negative = false;
  unsigned char byte = 0;
  for (;;) {
    if (Next != Limit) {
      byte = static_cast<unsigned char>(*Next++);
    } else if (!Fetch(byte)) {
      break;
    }
    if (IsDigit(byte)) {
      magnitude = magnitude * 10 + (byte - '0');
    } else if (byte == '-') {
      negative = true;
    } else {
      break;
    }
  }
  return static_cast<std::int64_t>(negative ? 0 - magnitude : magnitude);
}

// Reads on to the end of a list or dictionary whose first byte was read,
// with depth containers open, it included: the decoder's rules without a
// record of any entry, in one loop that keeps only the kind of each open
// container.
void TInfoScanner::SkipContainer(bool isDictionary, std::size_t depth) {
  // Each entry is written before it is read: no need to clear them first.
  std::array<bool, kMaxNestingDepth + 1> dictionaries;
  const std::size_t outside = depth - 1;
  dictionaries[depth] = isDictionary;
  unsigned char byte = 0;
  for (;;) {
    if (!Fetch(byte) || byte == 'e') {
      // Where an item or a key may start, an "e" closes whatever is open:
      // a run of them closes a level each.
      do {
        if (--depth == outside) return;
      } while (Next != Limit && *Next == 'e' && ++Next);
      isDictionary = dictionaries[depth];
      continue;
    }
    if (isDictionary) {
      if (!IsDigit(byte)) RaiseNotAnInteger(static_cast<char>(byte));
      const std::int32_t length = ReadLength(byte);
      if (length > 0) SkipContent(length);
      // Without a byte for the value the next read ends every container.
      if (!Fetch(byte)) continue;
    }
    // byte starts the value, or starts none; in a dictionary even an "e".
    if (IsDigit(byte)) {
      const std::int32_t length = ReadLength(byte);
      if (length > 0) SkipContent(length);
    } else if (byte == 'i') {
      ReadInteger();
    } else if (byte == 'l' || byte == 'd') {
      if (depth >= static_cast<std::size_t>(kMaxNestingDepth)) RaiseNestingTooDeep();
      isDictionary = byte == 'd';
      dictionaries[++depth] = isDictionary;
      // A list's first item may open another list at once: a run of them
      // opens a level each.
      while (!isDictionary && Next != Limit && *Next == 'l') {
        if (depth >= static_cast<std::size_t>(kMaxNestingDepth)) {
          ++Next;
          RaiseNestingTooDeep();
        }
        ++Next;
        dictionaries[++depth] = false;
      }
    } else if (!isDictionary) {
      while (Next != Limit && kStartsNothing[static_cast<unsigned char>(*Next)]) ++Next;
    }
  }
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
  std::array<TFrame, 2> frames;
  std::size_t open = 0;

  // Notes a value that has just ended as the current entry of the dictionary
  // on top, as DecodeStream stores it there.
  const auto store = [&](TKind kind, std::int64_t start, std::int64_t number) {
    const TFrame& top = frames[open - 1];
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
    } else if (byte == 'd' && (open == 0 || (open == 1 && frames[0].Role == TRole::Info))) {
      if (open == 0) {
        scan.RootIsDictionary = true;
      } else {
        candidate.assign(keys.Info.size(), {});
      }
      frames[open] = {start, open == 0 ? TScope::Root : TScope::Info, TRole::Plain, -1};
      ++open;
      ended = false;
    } else if (byte == 'l' || byte == 'd') {
      static_assert(kMaxNestingDepth > 2, "the root and info dictionaries nest in any input");
      SkipContainer(byte == 'd', open + 1);
      kind = byte == 'd' ? TKind::Dictionary : TKind::List;
    }

    // Stores what has ended, closes what ends with it, and reads on to the
    // first byte of the next value.
    for (;;) {
      if (ended) {
        if (open == 0) return;
        store(kind, start, number);
      }
      TFrame& top = frames[open - 1];
      if (!Fetch(byte) || byte == 'e') {
        kind = TKind::Dictionary;
        start = top.Start;
        number = 0;
        --open;
        ended = true;
        continue;
      }
      if (!IsDigit(byte)) RaiseNotAnInteger(static_cast<char>(byte));
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
  // The stream is left just after the last byte the scan took, as the
  // decoder leaves it, whatever the scan read ahead.
  const auto leaveStream = [this] {
    if (Stream != nullptr) Stream->Seek(Position(), TSeekOrigin::Beginning);
  };
  try {
    Run(keys, scan);
  } catch (const std::bad_alloc&) {
    leaveStream();
    RaiseOutOfMemory();
  } catch (...) {
    leaveStream();
    throw;
  }
  leaveStream();
  return scan;
}

bool TInfoScanner::Held(std::int64_t offset, std::int64_t length, std::string_view& bytes) const {
  if (length == 0) {
    bytes = {};
    return true;
  }
  if (offset < WindowStart || offset > LimitOffset || length > LimitOffset - offset) return false;
  bytes = std::string_view(Window + (offset - WindowStart), static_cast<std::size_t>(length));
  return true;
}

}  // namespace kelvane
