#include "bencode/InfoScan.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <new>
#include <optional>

#include "base/Exceptions.h"
#include "bencode/BDecode.h"
#include "bencode/DecodeErrors.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Bytes that go on an integer: digits and '-'.
constexpr std::array<bool, 256> kInInteger = [] {
  std::array<bool, 256> table{};
  for (int byte = 0; byte < 256; ++byte) table[byte] = (byte >= '0' && byte <= '9') || byte == '-';
  return table;
}();

// How a run of list items that are lists or nothing (bytes other than
// digits, "i" and "d") changes the depth: the bytes it takes, the depth
// after them and the lowest depth after any of them, both from the depth
// before.
struct TListRun {
  std::size_t Taken = 0;
  int Total = 0;
  int Lowest = 0;
};

constexpr std::ptrdiff_t kListRunBytes = 16;

// The run at the start of kListRunBytes bytes; it ends at the first digit,
// "i" or "d".
TListRun ListRun(const char* bytes) {
#if defined(__SSE2__)
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
  const __m128i fromZero = _mm_sub_epi8(v, _mm_set1_epi8('0'));
  const __m128i digit = _mm_cmpeq_epi8(_mm_min_epu8(fromZero, _mm_set1_epi8(9)), fromZero);
  const __m128i other =
      _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('i')), _mm_cmpeq_epi8(v, _mm_set1_epi8('d')));
  const unsigned stops = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(digit, other)));
  TListRun run;
  run.Taken = stops != 0 ? static_cast<std::size_t>(__builtin_ctz(stops)) : 16;
  if (run.Taken == 0) return run;
  // +1 for each "l", -1 for each "e" (compares give -1), none from the first
  // stop on; then the depth after each byte, as running sums.
  const __m128i inRun =
      _mm_cmplt_epi8(_mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15),
                     _mm_set1_epi8(static_cast<char>(run.Taken)));
  __m128i depth = _mm_and_si128(inRun, _mm_sub_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8('e')),
                                                    _mm_cmpeq_epi8(v, _mm_set1_epi8('l'))));
  depth = _mm_add_epi8(depth, _mm_slli_si128(depth, 1));
  depth = _mm_add_epi8(depth, _mm_slli_si128(depth, 2));
  depth = _mm_add_epi8(depth, _mm_slli_si128(depth, 4));
  depth = _mm_add_epi8(depth, _mm_slli_si128(depth, 8));
  run.Total = static_cast<signed char>(_mm_extract_epi16(depth, 7) >> 8);
  // The lowest, as unsigned bytes offset by 128; bytes past the run repeat
  // the total, which is one of the depths anyway.
  __m128i low = _mm_xor_si128(depth, _mm_set1_epi8(static_cast<char>(0x80)));
  low = _mm_min_epu8(low, _mm_srli_si128(low, 8));
  low = _mm_min_epu8(low, _mm_srli_si128(low, 4));
  low = _mm_min_epu8(low, _mm_srli_si128(low, 2));
  low = _mm_min_epu8(low, _mm_srli_si128(low, 1));
  run.Lowest = (_mm_cvtsi128_si32(low) & 0xff) - 0x80;
  return run;
#else
  (void)bytes;
  return {};
#endif
}

constexpr std::ptrdiff_t kItemRunBytes = 32;

// Past a run of integers that starts at next, as far as whole blocks of 64
// bytes before limit hold them: the end of each is found in bit masks of the
// block, not byte by byte. Gives next when it takes none.
const char* IntegerRun(const char* next, const char* limit) {
#if defined(__SSE2__)
  while (limit - next >= 64) {
    std::uint64_t inside = 0;  // digits and '-'
    std::uint64_t starts = 0;  // 'i'
    for (int part = 0; part < 4; ++part) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(next + 16 * part));
      const __m128i fromZero = _mm_sub_epi8(v, _mm_set1_epi8('0'));
      const __m128i in = _mm_or_si128(
          _mm_cmpeq_epi8(_mm_min_epu8(fromZero, _mm_set1_epi8(9)), fromZero),
          _mm_cmpeq_epi8(v, _mm_set1_epi8('-')));
      inside |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(in)))
                << (16 * part);
      starts |= static_cast<std::uint64_t>(static_cast<unsigned>(
                    _mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8('i')))))
                << (16 * part);
    }
    // Each integer: its "i" at taken, its digits and signs, the byte after.
    unsigned taken = 0;
    while (taken < 63 && ((starts >> taken) & 1) != 0) {
      const std::uint64_t ends = ~inside >> (taken + 1);
      if (ends == 0) break;
      taken += 2 + static_cast<unsigned>(__builtin_ctzll(ends));
    }
    if (taken == 0) break;
    next += taken;
  }
#else
  (void)limit;
#endif
  return next;
}

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
  // What the taps want of this window goes before the window does.
  for (std::size_t tap = 0; tap < Running.size(); ++tap) {
    if (Running[tap].On) HandOn(tap, LimitOffset);
  }
  // The info sink may still read what it took last, so the next window goes
  // to the first buffer none of its last Takes came from.
  std::size_t into = 0;
  while (Buffers[into] && std::find(Lent.begin(), Lent.end(), Buffers[into].get()) != Lent.end()) {
    ++into;
  }
  if (!Buffers[into]) Buffers[into] = std::make_unique_for_overwrite<char[]>(Capacity);
  Window = Buffers[into].get();
  WindowStart = LimitOffset;
  const std::size_t got = Stream->Read(Buffers[into].get(), Capacity);
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

// The rest of a length prefix whose first digit was read, and its separator,
// as the decoder reads it. The digits are read straight from the window while
// it lasts.
[[gnu::always_inline]] inline std::int64_t TInfoScanner::ReadLength(unsigned char firstDigit) {
  std::int64_t length = firstDigit - '0';
  const char* next = Next;
  const char* const limit = Limit;
  while (next != limit) {
    const auto byte = static_cast<unsigned char>(*next++);
    if (!IsDigit(byte)) {
      Next = next;
      return length;
    }
    length = AppendLengthDigit(length, byte - '0');
  }
  Next = next;
  unsigned char byte = 0;
  while (Fetch(byte) && IsDigit(byte)) length = AppendLengthDigit(length, byte - '0');
  return length;
}

// Passes over length (positive) bytes of string content, or as many as the
// stream still holds.
[[gnu::always_inline]] inline void TInfoScanner::SkipContent(std::int64_t length) {
  if (length <= Limit - Next) {
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
  if (StreamSize < 0 || Tapping()) {
    // A stream that cannot tell its size is read through, and so are bytes
    // a tap wants.
    while (beyond > 0 && Refill()) {
      const std::int64_t take = std::min<std::int64_t>(beyond, Limit - Next);
      Next += take;
      beyond -= take;
    }
    return;
  }
  // Compared before it is added: beyond may be near the largest length.
  const std::int64_t left = std::max<std::int64_t>(StreamSize - LimitOffset, 0);
  if (beyond > left) {
    beyond = left;
    Ended = true;
  }
  const std::int64_t target = LimitOffset + beyond;
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

// Passes over an integer's digits and signs and the byte that ends it, as
// ReadInteger reads them, without the number.
[[gnu::always_inline]] inline void TInfoScanner::SkipInteger() {
  for (;;) {
    // Through a local pointer: a member could be changed by any byte store.
    const char* next = Next;
    const char* const limit = Limit;
    while (next != limit && kInInteger[static_cast<unsigned char>(*next)]) ++next;
    if (next != limit) {
      Next = next + 1;
      return;
    }
    Next = next;
    if (!Refill()) return;
  }
}

// Reads on to the end of a list or dictionary whose first byte was read,
// with depth containers open, it included: the decoder's rules without a
// record of any entry, in one loop that keeps only the levels of the open
// dictionaries. Inside lists, runs of lists and bytes that start nothing are
// taken up to 16 bytes at a time.
void TInfoScanner::SkipContainer(bool isDictionary, std::size_t depth) {
  // The levels of the open dictionaries, innermost last; every other level
  // is a list. Each entry is written before it is read.
  std::array<std::size_t, kMaxNestingDepth + 1> dictionaries;
  std::size_t dictionaryCount = 0;
  const std::size_t outside = depth - 1;
  if (isDictionary) dictionaries[dictionaryCount++] = depth;
  unsigned char byte = 0;
  for (;;) {
    // A run is looked for where a list opens or closes next, so that other
    // items lose little to the looking.
    if (!isDictionary && Limit - Next >= kListRunBytes && (*Next == 'l' || *Next == 'e') &&
        depth + kListRunBytes <= static_cast<std::size_t>(kMaxNestingDepth)) {
      const TListRun run = ListRun(Next);
      // The run may close lists, not the dictionary or the container below.
      const std::size_t floor = dictionaryCount != 0 ? dictionaries[dictionaryCount - 1] : outside;
      if (run.Taken != 0 &&
          static_cast<std::ptrdiff_t>(depth) + run.Lowest > static_cast<std::ptrdiff_t>(floor)) {
        Next += run.Taken;
        depth = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(depth) + run.Total);
        continue;
      }
    }
    if (!isDictionary) {
      // List items that are integers or strings of a one-digit length, taken
      // in one loop while the window lasts: they change no depth.
      const char* next = Next;
      while (Limit - next >= kItemRunBytes) {
        const unsigned digit = static_cast<unsigned char>(*next) - '0';
        if (digit <= 9 && !IsDigit(static_cast<unsigned char>(next[1]))) {
          next += 2 + digit;
        } else if (*next == 'i') {
          const char* const after = IntegerRun(next, Limit);
          if (after == next) break;
          next = after;
        } else {
          break;
        }
      }
      Next = next;
    }
    if (!Fetch(byte) || byte == 'e') {
      // Where an item or a key may start, an "e" closes whatever is open:
      // a run of them closes a level each.
      do {
        if (dictionaryCount != 0 && dictionaries[dictionaryCount - 1] == depth) --dictionaryCount;
        if (--depth == outside) return;
      } while (Next != Limit && *Next == 'e' && ++Next);
      isDictionary = dictionaryCount != 0 && dictionaries[dictionaryCount - 1] == depth;
      continue;
    }
    if (isDictionary) {
      if (!IsDigit(byte)) RaiseNotAnInteger(static_cast<char>(byte));
      const std::int64_t length = ReadLength(byte);
      if (length > 0) SkipContent(length);
      // Without a byte for the value the next read ends every container.
      if (!Fetch(byte)) continue;
    }
    // byte starts the value, or starts none; in a dictionary even an "e".
    if (IsDigit(byte)) {
      const std::int64_t length = ReadLength(byte);
      if (length > 0) SkipContent(length);
    } else if (byte == 'i') {
      SkipInteger();
    } else if (byte == 'l' || byte == 'd') {
      if (depth >= static_cast<std::size_t>(kMaxNestingDepth)) RaiseNestingTooDeep();
      isDictionary = byte == 'd';
      ++depth;
      if (isDictionary) dictionaries[dictionaryCount++] = depth;
      // A list's first item may open another list at once: a run of them
      // opens a level each.
      while (!isDictionary && Next != Limit && *Next == 'l') {
        if (depth >= static_cast<std::size_t>(kMaxNestingDepth)) {
          ++Next;
          RaiseNestingTooDeep();
        }
        ++Next;
        ++depth;
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
  const std::int64_t length = ReadLength(firstDigit);
  if (length <= 0) return {};
  if (static_cast<std::uint64_t>(length) > keepUpTo) {
    SkipContent(length);
    return {};
  }
  KeyText.clear();
  unsigned char byte = 0;
  for (std::int64_t i = 0; i < length && Fetch(byte); ++i) KeyText += static_cast<char>(byte);
  return KeyText;
}

// A value read to its own end or the stream's, as the dictionary around it
// stores it.
struct TInfoScanner::TEnded {
  TKind Kind = TKind::None;  // None: no value started, so none is stored
  std::int64_t Start = 0;    // offset of its first byte
  std::int64_t Number = 0;   // an Integer's
};

// One scan's progress: the dictionaries open that it looks into, and the
// watched entries of the info dictionary being read, until the root stores
// it.
struct TInfoScanner::TWalk {
  TWalk(const TScanKeys& keys, TInfoScan& scan)
      : Keys(keys),
        Scan(scan),
        Candidate(keys.Info.size()),
        KeepRoot(LongestKey(keys.Root, sizeof "_info_length" - 1)),
        KeepInfo(LongestKey(keys.Info, 0)) {
    scan.Root.assign(keys.Root.size(), {});
    scan.Info.assign(keys.Info.size(), {});
  }

  // True when a dictionary starting now is the root or the root's info value.
  bool LooksInto() const { return Open == 0 || (Open == 1 && Frames[0].Role == TRole::Info); }

  const TScanKeys& Keys;
  TInfoScan& Scan;
  std::vector<TScannedValue> Candidate;
  std::size_t KeepRoot;  // keys longer than these are never watched
  std::size_t KeepInfo;
  std::array<TFrame, 2> Frames;
  std::size_t Open = 0;
};

// The value whose first byte, first, was just read, up to its own end; none
// when it opens a dictionary the scan looks into, which becomes the top.
std::optional<TInfoScanner::TEnded> TInfoScanner::ReadValue(unsigned char first, TWalk& walk) {
  const std::int64_t start = Position() - 1;
  if (IsDigit(first)) {
    const std::int64_t length = ReadLength(first);
    if (length > 0) SkipContent(length);
    return TEnded{TKind::String, start, 0};
  }
  if (first == 'i') return TEnded{TKind::Integer, start, ReadInteger()};
  if (first == 'd' && walk.LooksInto()) {
    if (walk.Open == 0) {
      walk.Scan.RootIsDictionary = true;
    } else {
      walk.Candidate.assign(walk.Keys.Info.size(), {});
    }
    walk.Frames[walk.Open] = {start, walk.Open == 0 ? TScope::Root : TScope::Info};
    ++walk.Open;
    return std::nullopt;
  }
  if (first == 'l' || first == 'd') {
    static_assert(kMaxNestingDepth > 2, "the root and info dictionaries nest in any input");
    SkipContainer(first == 'd', walk.Open + 1);
    return TEnded{first == 'd' ? TKind::Dictionary : TKind::List, start, 0};
  }
  return TEnded{TKind::None, start, 0};
}

// The next entry of the dictionary on top, up to the end of its value, or to
// a dictionary the value opens; when the dictionary itself ends instead, it
// is closed and is the value that ended.
std::optional<TInfoScanner::TEnded> TInfoScanner::ReadEntry(TWalk& walk) {
  TFrame& top = walk.Frames[walk.Open - 1];
  unsigned char byte = 0;
  if (!Fetch(byte) || byte == 'e') {
    --walk.Open;
    return TEnded{TKind::Dictionary, top.Start, 0};
  }
  if (!IsDigit(byte)) RaiseNotAnInteger(static_cast<char>(byte));
  const bool inRoot = top.Scope == TScope::Root;
  const std::string_view key = ReadKey(byte, inRoot ? walk.KeepRoot : walk.KeepInfo);
  top.Role = TRole::Plain;
  if (inRoot) {
    // A key the stream cut short is not the key it happens to spell.
    if (key == "info" && !Ended) top.Role = TRole::Info;
    if (key == "_info_start") top.Role = TRole::InfoStart;
    if (key == "_info_length") top.Role = TRole::InfoLength;
  }
  top.WatchedKey = Watched(inRoot ? walk.Keys.Root : walk.Keys.Info, key);
  // No byte for the value: nothing is stored, but the entry still ends.
  if (!Fetch(byte)) return TEnded{TKind::None, Position(), 0};
  const std::int64_t start = Position() - 1;
  if (Taps.Info != nullptr && top.Role == TRole::Info) {
    Taps.Info->Begin(start);
    Running[kInfoTap] = {true, start};
  }
  if (Taps.KeepValues && top.WatchedKey >= 0) {
    const std::size_t tap = inRoot ? 1 : 2;
    Kept[tap].clear();
    Running[tap] = {true, start};
  }
  return ReadValue(byte, walk);
}

// Notes a value that has just ended as the current entry of the dictionary on
// top, as DecodeStream stores it there.
void TInfoScanner::Store(TWalk& walk, const TEnded& ended) {
  const TFrame& top = walk.Frames[walk.Open - 1];
  TScannedValue value{ended.Kind, ended.Start, Position() - ended.Start, ended.Number, {}};
  const std::size_t keptTap = top.Scope == TScope::Info ? 2 : 1;
  if (Running[keptTap].On) {
    HandOn(keptTap, Position());
    Running[keptTap].On = false;
    value.Bytes = std::move(Kept[keptTap]);
  }
  if (top.Scope == TScope::Root && top.Role == TRole::Info && Running[kInfoTap].On) {
    HandOn(kInfoTap, Position());
    Running[kInfoTap].On = false;
  }
  const bool stored = ended.Kind != TKind::None;
  if (top.Scope == TScope::Info) {
    if (top.WatchedKey >= 0 && stored) walk.Candidate[top.WatchedKey] = std::move(value);
    return;
  }
  TInfoScan& scan = walk.Scan;
  switch (top.Role) {
    case TRole::Info:
      // A value that starts no value is not stored, so it changes nothing,
      // but the decoder's own info record is made all the same.
      scan.InfoStart = {TKind::Integer, 0, 0, ended.Start, {}};
      scan.InfoLength = {TKind::Integer, 0, 0, Ended ? -1 : value.Length, {}};
      if (ended.Kind == TKind::Dictionary) {
        // The candidate starts over when the next info dictionary opens.
        scan.Info = std::move(walk.Candidate);
      } else if (stored) {
        scan.Info.assign(walk.Keys.Info.size(), {});
      }
      break;
    case TRole::InfoStart:
      if (stored) scan.InfoStart = value;
      break;
    case TRole::InfoLength:
      if (stored) scan.InfoLength = value;
      break;
    case TRole::Plain:
      break;
  }
  if (top.WatchedKey >= 0 && stored) walk.Scan.Root[top.WatchedKey] = std::move(value);
}

bool TInfoScanner::Tapping() const {
  return Running[0].On || Running[1].On || Running[2].On;
}

// Hands on the bytes of a running tap from where it stands up to upTo, all
// of them in the window.
void TInfoScanner::HandOn(std::size_t tap, std::int64_t upTo) {
  TTap& running = Running[tap];
  if (upTo > running.From) {
    const char* from = Window + (running.From - WindowStart);
    const auto count = static_cast<std::size_t>(upTo - running.From);
    if (tap == kInfoTap) {
      Taps.Info->Take(from, count);
      if (Lent.front() != Window) {
        std::copy_backward(Lent.begin(), Lent.end() - 1, Lent.end());
        Lent.front() = Window;
      }
    } else {
      Kept[tap].append(from, count);
    }
  }
  running.From = upTo;
}

void TInfoScanner::Run(const TScanKeys& keys, TInfoScan& scan) {
  TWalk walk(keys, scan);
  unsigned char byte = 0;
  if (!Fetch(byte)) return;
  // Each step reads on to where a value ends or a dictionary the scan looks
  // into opens. What ends is stored in the dictionary around it, until the
  // outermost value itself ends.
  for (std::optional<TEnded> ended = ReadValue(byte, walk);; ended = ReadEntry(walk)) {
    if (!ended) continue;
    if (walk.Open == 0) return;
    Store(walk, *ended);
  }
}

TInfoScan TInfoScanner::Scan(const TScanKeys& keys, TScanTaps taps) {
  TInfoScan scan;
  Taps = taps;
  // The stream is left just after the last byte the scan took, as the
  // decoder leaves it, whatever the scan read ahead.
  const auto leaveStream = [this] {
    if (Taps.Info != nullptr) Taps.Info->Settle();
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
