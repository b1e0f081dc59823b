#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Stream.h"

namespace kelvane {

// What a dictionary entry holds after a scan, as the tree DecodeStream builds
// would hold it.
struct TScannedValue {
  enum class TKind : std::uint8_t { None, Integer, String, List, Dictionary };
  // None: the entry was never stored.
  TKind Kind = TKind::None;
  // Where the value lies in the stream: its first byte, and the bytes it took
  // up to its own end or the stream's, whichever came first.
  std::int64_t Offset = 0;
  std::int64_t Length = 0;
  // An Integer's number, wrapped as the decoder wraps it.
  std::int64_t Integer = 0;
  // Those Length bytes from Offset on, where the scan was asked to keep them.
  std::string Bytes;
};

// Keys whose stored values a scan notes: keys of the root dictionary, and
// keys of the dictionary the root stores under "info".
struct TScanKeys {
  std::vector<std::string> Root;
  std::vector<std::string> Info;
};

// What the tree of DecodeStream tells about the root and its info value.
struct TInfoScan {
  // False also when the stream holds no value at all.
  bool RootIsDictionary = false;
  // The root's "_info_start" and "_info_length" entries: the decoder's own
  // record of the last "info" key the stream held whole (Integers; -1 is the
  // length of a value the stream ended inside), or what the file stored under
  // those names after it.
  TScannedValue InfoStart;
  TScannedValue InfoLength;
  // One per TScanKeys::Root key.
  std::vector<TScannedValue> Root;
  // One per TScanKeys::Info key; every one None unless the root's "info"
  // entry is a dictionary.
  std::vector<TScannedValue> Info;
};

// Takes the bytes of each value the root stores under "info" as a scan
// passes them, so that a source is never read twice: Begin where such a value
// starts (a later one starts over), then its bytes in order, in pieces, up to
// its own end or the stream's. A sink may go on reading the bytes of a Take
// after it returns, until kLentTakes more Takes, or a Begin or a Settle,
// have returned: so it can digest them on another thread while the scan goes
// on.
class TInfoSink {
 public:
  static constexpr std::size_t kLentTakes = 2;

  virtual void Begin(std::int64_t offset) = 0;
  virtual void Take(const char* bytes, std::size_t count) = 0;
  // Returns once the sink no longer reads any bytes it was given.
  virtual void Settle() {}

 protected:
  ~TInfoSink() = default;
};

// What a scan hands on besides what it notes.
struct TScanTaps {
  // Takes each info value's bytes; may be null.
  TInfoSink* Info = nullptr;
  // Keep the bytes of every watched value (TScannedValue::Bytes).
  bool KeepValues = false;
};

// Reads one bencode value the way DecodeStream does, byte for byte, without
// building its tree: it takes the same lenient forms, raises the same errors
// (EConvertError, ENestingTooDeep, EOutOfMemory) at the same byte and leaves
// the stream where DecodeStream would, yet keeps only what TInfoScan holds.
// The stream is read in windows of at most holdLimit bytes, so a stream of at
// most that many bytes is read whole in one request; a string that runs past
// a window is stepped over without being read when the stream knows its size
// and no tap wants its bytes. One buffer serves the whole scan, and more (up
// to one beside each Take the info sink may still read) while the sink still
// reads earlier windows; the sink is settled before Scan returns or raises.
class TInfoScanner {
 public:
  TInfoScanner(TStream& stream, std::size_t holdLimit);
  // Scans bytes held in memory, as a stream of them would be scanned; they
  // must outlive the scanner.
  explicit TInfoScanner(std::string_view bytes);
  ~TInfoScanner();
  TInfoScanner(const TInfoScanner&) = delete;
  TInfoScanner& operator=(const TInfoScanner&) = delete;

  // Scans from the stream's position, handing on what taps asks for; call
  // once.
  TInfoScan Scan(const TScanKeys& keys, TScanTaps taps = {});

  // The offset just after the last byte the scan took, as in the stream.
  std::int64_t Position() const;

  // True when the scanner still holds every byte of the stream from offset
  // on, length of them (both not negative); bytes then shows them, for as
  // long as the scanner lives.
  bool Held(std::int64_t offset, std::int64_t length, std::string_view& bytes) const;

 private:
  struct TFrame;
  struct TEnded;
  struct TWalk;

  bool Refill();
  bool Fetch(unsigned char& byte);
  std::int64_t ReadLength(unsigned char firstDigit);
  void SkipContent(std::int64_t length);
  void SkipBeyondWindow(std::int64_t beyond);
  std::int64_t ReadInteger();
  void SkipInteger();
  void SkipContainer(bool isDictionary, std::size_t depth);
  std::string_view ReadKey(unsigned char firstDigit, std::size_t keepUpTo);
  std::optional<TEnded> ReadValue(unsigned char first, TWalk& walk);
  std::optional<TEnded> ReadEntry(TWalk& walk);
  void Store(TWalk& walk, const TEnded& ended);
  void Run(const TScanKeys& keys, TInfoScan& scan);
  bool Tapping() const;
  void HandOn(std::size_t tap, std::int64_t upTo);

  // A run of bytes being handed on, from the first byte not yet handed on:
  // tap 0 an info value to Taps.Info, taps 1 and 2 a watched value of the
  // root and of the info dictionary to Kept[1] and Kept[2].
  struct TTap {
    bool On = false;
    std::int64_t From = 0;
  };
  static constexpr std::size_t kInfoTap = 0;
  TScanTaps Taps;
  std::array<TTap, 3> Running;
  std::array<std::string, 3> Kept;

  TStream* Stream;  // null for bytes in memory
  std::int64_t StreamSize;
  std::size_t Capacity;
  // The window's buffer, and the others, each made only once the info sink
  // may still read every one made before when the next window is due.
  std::array<std::unique_ptr<char[]>, TInfoSink::kLentTakes + 1> Buffers;
  // The buffers of the info sink's last Takes, the latest first.
  std::array<const char*, TInfoSink::kLentTakes> Lent{};
  const char* Window = nullptr;  // the bytes read last: a buffer, or those in memory
  const char* Next = nullptr;    // the window's next unread byte
  const char* Limit = nullptr;   // the window's end
  std::int64_t WindowStart = 0;  // stream offset of Window[0]
  std::int64_t LimitOffset = 0;  // stream offset of Limit
  bool Ended = false;            // a read has found the end of the stream
  std::string KeyText;           // the last key ReadKey kept
};

}  // namespace kelvane
