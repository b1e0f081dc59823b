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
#include "fuzz/ReferenceDecoder.h"
#include "fuzz/ScanAgainstTree.h"
#include "platform/Conventions.h"
#include "torrent/InfoHash.h"

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

// The scanner against the decoder, over the input in memory, in one window
// and in windows of a few bytes, so that every value can straddle their edges,
// from a stream that tells its size and from one that cannot.
void CheckScanAgainstDecoder(std::string_view input) {
  const std::string expected = kelvane::fuzz::FromTree(input);
  const std::size_t small = 1 + (input.empty() ? 0 : static_cast<unsigned char>(input.back()) % 13);
  for (const std::size_t window : {std::size_t{0}, input.size() + 1, small}) {
    for (const bool knowsSize : {true, false}) {
      const std::string got = kelvane::fuzz::FromScan(input, window, knowsSize);
      if (got != expected) Fail("the scan differs from the decoder", got + " | " + expected);
    }
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
