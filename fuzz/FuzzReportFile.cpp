// Feeds arbitrary bytes through the per-file path exactly as a file on disk
// goes through it: decode, take the root's info range, digest it, build and
// write the report line. Any fault the sanitizers see is a finding; so is a
// line or a digest that disagrees with what the input calls for.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/Exceptions.h"
#include "base/StdOut.h"
#include "base/Stream.h"
#include "digest/SHA1.h"
#include "driver/ReportFile.h"
#include "fuzz/ReferenceDecoder.h"
#include "platform/Conventions.h"

namespace {

using kelvane::fuzz::TExpectedOutcome;

const char kBlank[] = "Error - Blank file!";
const char kParsing[] = "Error parsing file!";
const char kFailed[] = "Error in file ";
const char kNameField[] = "  fuzz.torrent";

// Ranges up to this size are rebuilt here and digested in one piece.
constexpr std::int64_t kCheckedRangeLimit = 1 << 20;

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

// The bytes the info range stands for: those of the input it covers, and
// zeros for whatever lies outside.
std::string RangeBytes(std::string_view input, std::int32_t start, std::int32_t length) {
  std::string bytes(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
  if (start < 0) return bytes;
  const auto from = static_cast<std::size_t>(start);
  if (from < input.size()) {
    const std::string_view covered = input.substr(from, bytes.size());
    bytes.replace(0, covered.size(), covered);
  }
  return bytes;
}

// The outcome as ReportFile sees it: every error, whatever its class, is the
// "Error in file " line. Errors that are not the program's own are refused
// here, since they mean a standard-library call was fed a forged size.
std::string ReportOutcome(std::string_view input) {
  if (input.empty()) return kBlank;
  try {
    kelvane::TMemoryStream stream(input);
    return kelvane::GetInfoHashOfStream(stream);
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
      Require(IsDigestText(result), "expected a digest", result);
      if (expected.Length <= kCheckedRangeLimit) {
        const std::string want =
            kelvane::SHA1DigestHex(RangeBytes(input, expected.Start, expected.Length));
        Require(result == want, "digest of the wrong range", result);
      }
      return;
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

  const std::string line = result + kNameField;
  g_written.clear();
  kelvane::SetStdOutWriter(Capture, false);
  kelvane::WriteLine(line);
  kelvane::FlushStdOut();
  Require(g_written == line + std::string(kelvane::platform::kConventions.LineEnd),
          "report line not written as one line", g_written);
  return 0;
}
