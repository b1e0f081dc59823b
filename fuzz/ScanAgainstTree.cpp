#include "fuzz/ScanAgainstTree.h"

#include <memory>
#include <utility>

#include "base/Exceptions.h"
#include "base/Stream.h"
#include "bencode/BDecode.h"
#include "bencode/InfoScan.h"

namespace kelvane::fuzz {
namespace {

using TKind = TScannedValue::TKind;

// The keys a magnet link is made from, and a few that are not.
const TScanKeys kKeys{
    {"announce", "announce-list", "url-list", "info", "comment", "a", "x"},
    {"name", "name.utf-8", "meta version", "file tree", "files", "length", "pieces", "a", "x"}};

TKind KindOf(const TObject* value) {
  if (const auto* scalar = dynamic_cast<const TIntString*>(value))
    return scalar->IsInt ? TKind::Integer : TKind::String;
  return dynamic_cast<const TObjectList*>(value) ? TKind::List : TKind::Dictionary;
}

// A decoded value as text. Tables cannot list their keys: a table shows the
// watched keys and the number of its entries.
std::string Describe(const TObject* value) {
  std::string text;
  if (const auto* scalar = dynamic_cast<const TIntString*>(value)) {
    if (scalar->IsInt) return text.append("i").append(std::to_string(scalar->IntValue));
    return std::to_string(scalar->StrLength) + ":" + scalar->StrValue;
  }
  if (const auto* list = dynamic_cast<const TObjectList*>(value)) {
    for (std::size_t i = 0; i < list->Count(); ++i) text += Describe(list->Item(i)) + ",";
    return "[" + text + "]";
  }
  const auto& hash = dynamic_cast<const TObjectHash&>(*value);
  // Each key once: a key shown twice at every level would cost twice as much
  // at each level down.
  for (const char* key :
       {"announce", "announce-list", "url-list", "info", "comment", "name", "name.utf-8",
        "meta version", "file tree", "files", "length", "pieces", "a", "x"})
    if (hash.Exists(key)) text.append(key).append("=").append(Describe(hash.Items(key))) += ',';
  return "{" + text + std::to_string(hash.LastValueSlot() + 1) + "}";
}

// A range entry as the per-file path reads it: its kind, and an integer's
// number.
std::string DescribeEntry(TKind kind, std::int64_t integer) {
  if (kind == TKind::None) return "none";
  return std::to_string(int(kind)) + ":" + std::to_string(kind == TKind::Integer ? integer : 0);
}

std::string DescribeEntry(const TObjectHash& root, const char* key) {
  if (!root.Exists(key)) return "none";
  const TObject* value = root.Items(key);
  const auto* scalar = dynamic_cast<const TIntString*>(value);
  return DescribeEntry(KindOf(value), scalar != nullptr && scalar->IsInt ? scalar->IntValue : 0);
}

// Bytes in memory behind a stream that cannot tell its size, as a pipe.
struct TUnsizedStream : TMemoryStream {
  using TMemoryStream::TMemoryStream;
  std::int64_t Size() override { return -1; }
};

// The bytes of each info value as a scan hands them on.
struct TCollect final : TInfoSink {
  void Begin(std::int64_t offset) override {
    Start = offset;
    Bytes.clear();
  }
  void Take(const char* bytes, std::size_t count) override { Bytes.append(bytes, count); }
  std::int64_t Start = -1;
  std::string Bytes;
};

}  // namespace

std::string FromTree(std::string_view input) {
  TMemoryStream stream(input);
  std::string text;
  try {
    const std::unique_ptr<TObject> root = DecodeStream(stream);
    const auto* hash = dynamic_cast<const TObjectHash*>(root.get());
    if (hash == nullptr) return "no dictionary @" + std::to_string(stream.Position());
    text = DescribeEntry(*hash, "_info_start") + " " + DescribeEntry(*hash, "_info_length");
    const TObjectHash* info = nullptr;
    if (hash->Exists("info")) info = dynamic_cast<const TObjectHash*>(hash->Items("info"));
    for (const auto& [table, keys] : {std::pair(hash, &kKeys.Root), std::pair(info, &kKeys.Info)})
      for (const std::string& key : *keys)
        if (table != nullptr && table->Exists(key))
          text += " " + key + "=" + Describe(table->Items(key));
  } catch (const Exception& error) {
    text = std::string(error.ClassName()) + ": " + error.Message();
  }
  return text + " @" + std::to_string(stream.Position());
}

std::string FromScan(std::string_view input, std::size_t window, bool knowsSize) {
  TUnsizedStream unsized(input);
  TMemoryStream sized(input);
  TStream& stream = knowsSize ? static_cast<TStream&>(sized) : unsized;
  std::unique_ptr<TInfoScanner> scanner = window == 0
                                              ? std::make_unique<TInfoScanner>(input)
                                              : std::make_unique<TInfoScanner>(stream, window);
  // The scanner's place, and the stream's, which must be the same.
  const auto position = [&] {
    const bool same = window == 0 || stream.Position() == scanner->Position();
    return std::to_string(scanner->Position()) + (same ? "" : " (the stream is left elsewhere)");
  };
  std::string text;
  try {
    TCollect collected;
    const TInfoScan scan = scanner->Scan(kKeys, {&collected, true});
    if (!scan.RootIsDictionary) return "no dictionary @" + position();
    // The decoder's own record of a whole info value names the bytes handed on.
    const std::int64_t start = scan.InfoStart.Integer, length = scan.InfoLength.Integer;
    if (scan.InfoStart.Length == 0 && scan.InfoLength.Length == 0 &&
        scan.InfoLength.Kind == TKind::Integer && length >= 0 &&
        (start != collected.Start ||
         collected.Bytes != input.substr(std::size_t(start), std::size_t(length))))
      text += "(the info bytes handed on are not the input's) ";
    text += DescribeEntry(scan.InfoStart.Kind, scan.InfoStart.Integer) + " " +
           DescribeEntry(scan.InfoLength.Kind, scan.InfoLength.Integer);
    for (const auto& [values, keys] :
         {std::pair(&scan.Root, &kKeys.Root), std::pair(&scan.Info, &kKeys.Info)})
      for (std::size_t i = 0; i < keys->size(); ++i) {
        const TScannedValue& value = (*values)[i];
        if (value.Kind == TKind::None) continue;
        const std::string_view kept = input.substr(static_cast<std::size_t>(value.Offset),
                                                   static_cast<std::size_t>(value.Length));
        if (value.Bytes != kept) text += " (the bytes kept are not the value's)";
        // Decoded from its first byte on, the value must end just where the scan says it does.
        TMemoryStream bytes(input.substr(static_cast<std::size_t>(value.Offset)));
        const std::unique_ptr<TObject> decoded = DecodeStream(bytes);
        const auto* scalar = dynamic_cast<const TIntString*>(decoded.get());
        if (decoded == nullptr || KindOf(decoded.get()) != value.Kind ||
            (value.Kind == TKind::Integer && scalar->IntValue != value.Integer))
          text += " (a noted value is not the value its bytes hold)";
        if (bytes.Position() != value.Length) text += " (a noted value's length is not its own)";
        text += " " + (*keys)[i] + "=" + Describe(decoded.get());
      }
  } catch (const Exception& error) {
    text = std::string(error.ClassName()) + ": " + error.Message();
  }
  return text + " @" + position();
}

}  // namespace kelvane::fuzz
