// Feeds arbitrary bytes through the per-file path exactly as a file on disk
// goes through it: decode, take the root's info range, digest it, build and
// write the report line, and the fields -v2 and -magnet give. Any fault the
// sanitizers see is a finding; so is a line, a digest or a link that
// disagrees with what the input calls for, and so is a scan that does not
// read the input exactly as the decoder's tree does.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "base/Exceptions.h"
#include "base/StdOut.h"
#include "base/Stream.h"
#include "bencode/BDecode.h"
#include "bencode/InfoScan.h"
#include "digest/SHA.h"
#include "driver/ReportFile.h"
#include "fuzz/ReferenceDecoder.h"
#include "platform/Conventions.h"

namespace {

using kelvane::fuzz::TExpectedOutcome;

const char kBlank[] = "Error - Blank file!";
const char kParsing[] = "Error parsing file!";
const char kFailed[] = "Error in file ";
const char kNameField[] = "  fuzz.torrent";

[[noreturn]] void Fail(const char* what, std::string_view detail) {
  std::fprintf(stderr, "invariant broken: %s [%.*s]\n", what, static_cast<int>(detail.size()),
               detail.data());
  std::abort();
}

void Require(bool condition, const char* what, std::string_view detail = {}) {
  if (!condition) Fail(what, detail);
}

bool IsDigestText(std::string_view text) {
  if (text.size() != 40) return false;
  for (const char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

// The outcome as ReportFile sees it: every error, whatever its class, is the
// "Error in file " line. Errors that are not the program's own are refused
// here, since they mean a standard-library call was fed a forged size.
std::string ReportOutcome(std::string_view input,
                          kelvane::TLineContent content = kelvane::TLineContent::V1Digest) {
  if (input.empty()) return kBlank;
  try {
    kelvane::TMemoryStream stream(input);
    return kelvane::GetInfoHashOfStream(stream, content);
  } catch (const kelvane::Exception&) {
    return kFailed;
  } catch (const std::exception& error) {
    Fail("foreign exception", error.what());
  }
}

void CheckAgainstPrediction(std::string_view input, const std::string& result) {
  if (input.empty()) return;
  const TExpectedOutcome expected = kelvane::fuzz::PredictOutcome(input);
  switch (expected.Kind) {
    case TExpectedOutcome::TKind::Raises:
      Require(result == kFailed, "expected the error line", result);
      return;
    case TExpectedOutcome::TKind::ParsingError:
      Require(result == kParsing, "expected the parsing error", result);
      return;
    case TExpectedOutcome::TKind::Digest:
      Require(
          result == kelvane::SHA1DigestHex(input.substr(static_cast<std::size_t>(expected.Start),
                                                        static_cast<std::size_t>(expected.Length))),
          "expected the digest of the info range", result);
      return;
  }
}

// With -v2 and -magnet a file gets the same error line as without; where it
// gets a digest, -v2 gives a SHA-256 or the no-v2 line, and -magnet a link of
// bytes that need no escaping in a line, carrying that digest when it names a
// v1 identity.
void CheckOptions(std::string_view input, const std::string& result) {
  const std::string v2 = ReportOutcome(input, kelvane::TLineContent::V2Digest);
  const std::string magnet = ReportOutcome(input, kelvane::TLineContent::MagnetLink);
  if (!IsDigestText(result)) {
    Require(v2 == result && magnet == result, "an error line that depends on the option", v2);
    return;
  }
  Require(v2 == kelvane::kNoV2InfoHash ||
              (v2.size() == 64 && v2.find_first_not_of("0123456789ABCDEF") == std::string::npos),
          "not a v2 field", v2);
  Require(magnet.starts_with("magnet:?xt=urn:bt"), "not a magnet link", magnet);
  Require(magnet.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                   "0123456789-_.!~*()%&=:?") == std::string::npos,
          "a link byte that needs escaping", magnet);
  std::string btih = "magnet:?xt=urn:btih:" + result;
  for (char& c : btih) c = static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c);
  Require(!magnet.starts_with("magnet:?xt=urn:btih:") || magnet.starts_with(btih),
          "a link without the v1 digest", magnet);
}

using TKind = kelvane::TScannedValue::TKind;

// The keys a magnet link is made from, and a few that are not.
const kelvane::TScanKeys kKeys{
    {"announce", "announce-list", "url-list", "info", "comment", "a"},
    {"name", "name.utf-8", "meta version", "file tree", "files", "length", "pieces", "a"}};

TKind KindOf(const kelvane::TObject* value) {
  if (const auto* scalar = dynamic_cast<const kelvane::TIntString*>(value))
    return scalar->IsInt ? TKind::Integer : TKind::String;
  return dynamic_cast<const kelvane::TObjectList*>(value) ? TKind::List : TKind::Dictionary;
}

// A decoded value as text. Tables cannot list their keys: a table shows the
// watched keys and the number of its entries.
std::string Describe(const kelvane::TObject* value) {
  using namespace kelvane;
  if (const auto* scalar = dynamic_cast<const TIntString*>(value)) {
    if (scalar->IsInt) return "i" + std::to_string(scalar->IntValue);
    return std::to_string(scalar->StrLength) + ":" + scalar->StrValue;
  }
  std::string text;
  if (const auto* list = dynamic_cast<const TObjectList*>(value)) {
    for (std::size_t i = 0; i < list->Count(); ++i) text += Describe(list->Item(i)) + ",";
    return "[" + text + "]";
  }
  const auto& hash = dynamic_cast<const TObjectHash&>(*value);
  // Each key once: a key shown twice at every level would cost twice as much
  // at each level down.
  for (const char* key :
       {"announce", "announce-list", "url-list", "info", "comment", "name", "name.utf-8",
        "meta version", "file tree", "files", "length", "pieces", "a"})
    if (hash.Exists(key)) text += key + ("=" + Describe(hash.Items(key))) + ",";
  return "{" + text + std::to_string(hash.LastValueSlot() + 1) + "}";
}

// A root entry, from the tree and from the scan, as text: its kind, and an
// integer's number.
std::string DescribeEntry(const kelvane::TObjectHash& root, const char* key) {
  if (!root.Exists(key)) return "none";
  const kelvane::TObject* value = root.Items(key);
  const auto* scalar = dynamic_cast<const kelvane::TIntString*>(value);
  return std::to_string(int(KindOf(value))) + ":" +
         std::to_string(scalar != nullptr && scalar->IsInt ? scalar->IntValue : 0);
}

std::string DescribeEntry(const kelvane::TScannedValue& value) {
  if (value.Kind == TKind::None) return "none";
  return std::to_string(int(value.Kind)) + ":" +
         std::to_string(value.Kind == TKind::Integer ? value.Integer : 0);
}

// What the tree says about the scanned facts, or the error met; and where
// the stream stands after it.
std::string FromTree(std::string_view input) {
  using namespace kelvane;
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

// The same from a scan in windows of window bytes, or of the input in memory
// when window is 0; each noted value is shown as the decoder reads the bytes
// the scan says it took.
std::string FromScan(std::string_view input, std::size_t window) {
  using namespace kelvane;
  TMemoryStream stream(input);
  std::unique_ptr<TInfoScanner> scanner = window == 0
                                              ? std::make_unique<TInfoScanner>(input)
                                              : std::make_unique<TInfoScanner>(stream, window);
  // The scanner's place, and the stream's, which must be the same.
  const auto position = [&] {
    Require(window == 0 || stream.Position() == scanner->Position(),
            "the stream is left elsewhere");
    return std::to_string(scanner->Position());
  };
  std::string text;
  try {
    const TInfoScan scan = scanner->Scan(kKeys);
    if (!scan.RootIsDictionary) return "no dictionary @" + position();
    text = DescribeEntry(scan.InfoStart) + " " + DescribeEntry(scan.InfoLength);
    for (const auto& [values, keys] :
         {std::pair(&scan.Root, &kKeys.Root), std::pair(&scan.Info, &kKeys.Info)})
      for (std::size_t i = 0; i < keys->size(); ++i) {
        const TScannedValue& value = (*values)[i];
        if (value.Kind == TKind::None) continue;
        TMemoryStream bytes(input.substr(static_cast<std::size_t>(value.Offset),
                                         static_cast<std::size_t>(value.Length)));
        const std::unique_ptr<TObject> decoded = DecodeStream(bytes);
        const auto* scalar = dynamic_cast<const TIntString*>(decoded.get());
        Require(decoded != nullptr && KindOf(decoded.get()) == value.Kind &&
                    (value.Kind != TKind::Integer || scalar->IntValue == value.Integer),
                "a noted value is not the value its bytes hold", (*keys)[i]);
        text += " " + (*keys)[i] + "=" + Describe(decoded.get());
      }
  } catch (const Exception& error) {
    text = std::string(error.ClassName()) + ": " + error.Message();
  }
  return text + " @" + position();
}

// The scanner against the decoder, over the input in memory, in one window
// and in windows of a few bytes, so that every value can straddle their edges.
void CheckScanAgainstDecoder(std::string_view input) {
  const std::string expected = FromTree(input);
  const std::size_t small = 1 + (input.empty() ? 0 : static_cast<unsigned char>(input.back()) % 13);
  for (const std::size_t window : {std::size_t{0}, input.size() + 1, small}) {
    const std::string got = FromScan(input, window);
    if (got != expected) Fail("the scan differs from the decoder", got + " | " + expected);
  }
}

std::string g_written;

bool Capture(std::string_view bytes) {
  g_written.append(bytes);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string result = ReportOutcome(input);
  Require(IsDigestText(result) || result == kParsing || result == kFailed || result == kBlank,
          "unknown result", result);
  CheckAgainstPrediction(input, result);
  CheckOptions(input, result);
  CheckScanAgainstDecoder(input);

  const std::string line = result + kNameField;
  g_written.clear();
  kelvane::SetStdOutWriter(Capture, false);
  kelvane::WriteLine(line);
  kelvane::FlushStdOut();
  Require(g_written == line + std::string(kelvane::platform::kConventions.LineEnd),
          "report line not written as one line", g_written);
  return 0;
}
