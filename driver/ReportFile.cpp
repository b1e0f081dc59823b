#include "driver/ReportFile.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "base/Exceptions.h"
#include "base/FileStream.h"
#include "base/StdOut.h"
#include "bencode/InfoScan.h"
#include "digest/SHA1.h"
#include "driver/PathHelpers.h"

namespace kelvane {

namespace {

constexpr std::int64_t kChunkSize = 256 * 1024;
// The window a file larger than kReadWholeLimit is scanned in; long strings
// beyond it are stepped over unread.
constexpr std::size_t kWindow = 1 << 20;

using TKind = TScannedValue::TKind;

[[noreturn]] void RaiseInvalidCast() {
  throw EInvalidCast("Invalid class typecast");
}

[[noreturn]] void RaiseReadError() {
  throw EReadError("Stream read error");
}

// An entry of the root's info range as a number: a byte string counts as 0,
// a list or a dictionary is no number.
std::int64_t RangeNumber(const TScannedValue& value) {
  if (value.Kind == TKind::List || value.Kind == TKind::Dictionary) RaiseInvalidCast();
  return value.Kind == TKind::Integer ? value.Integer : 0;
}

// The digest of length (not negative) bytes from the stream's position,
// hashed as they arrive; raises EReadError unless every one of them arrives.
std::string DigestOfRange(TStream& stream, std::int64_t length) {
  TSHA1Context context;
  std::vector<char> chunk(static_cast<std::size_t>(std::min<std::int64_t>(length, kChunkSize)));
  for (std::int64_t remaining = length; remaining > 0;) {
    const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(remaining, kChunkSize));
    const std::size_t got = stream.Read(chunk.data(), wanted);
    if (got == 0) RaiseReadError();
    context.Update(chunk.data(), got);
    remaining -= static_cast<std::int64_t>(got);
  }
  return context.DigestHex();
}

// The info hash, or "Error parsing file!", from a scan of a stream of size
// bytes: from the bytes the scanner holds when it holds the whole info range,
// else read again from the stream.
std::string InfoHashOfScan(const TInfoScanner& scanner, const TInfoScan& scan, TStream& stream,
                           std::int64_t size) {
  if (!scan.RootIsDictionary) RaiseInvalidCast();
  if (scan.InfoStart.Kind == TKind::None || scan.InfoLength.Kind == TKind::None) {
    return "Error parsing file!";
  }
  const std::int64_t start = RangeNumber(scan.InfoStart);
  const std::int64_t length = RangeNumber(scan.InfoLength);
  // The one check of the range, whoever set it: the decoder's -1 for a value
  // the stream ended inside, and any numbers the file supplies itself, are
  // refused here.
  if (start < 0 || length < 0 || length > size - start) RaiseReadError();
  std::string_view held;
  if (scanner.Held(start, length, held)) return SHA1DigestHex(held);
  stream.Seek(start, TSeekOrigin::Beginning);
  return DigestOfRange(stream, length);
}

// GetInfoHashOfStream before the check that the source stayed as it was.
std::string InfoHashOf(TStream& stream) {
  const std::int64_t size = stream.Size();
  TInfoScanner scanner(stream, size >= 0 && size <= kReadWholeLimit ? std::size_t(size) : kWindow);
  return InfoHashOfScan(scanner, scanner.Scan({}), stream, size);
}

}  // namespace

std::string GetInfoHashOfStream(TStream& stream) {
  std::string result = InfoHashOf(stream);
  // Asked after the last read, so that a change during any read counts.
  if (!stream.Unchanged()) RaiseReadError();
  return result;
}

std::string GetInfoHash(const std::string& fileName) {
  TFileStream stream(fileName);
  if (stream.Size() == 0) return "Error - Blank file!";
  return GetInfoHashOfStream(stream);
}

namespace {

// The field computed, or "Error in file " when computing it raised anything.
template <class TCompute>
std::string FieldOf(const TCompute& compute) {
  try {
    return compute();
  } catch (...) {
    return "Error in file ";
  }
}

}  // namespace

// The system calls a listed file of up to kReadWholeLimit bytes costs on
// POSIX, each for a reason: open; fstat, for the size and modification time
// at the open (and to refuse a directory); one read of the whole file; stat
// of the name after that read, the change check, since only the name can
// tell that it no longer denotes the file opened; close. The listing already
// told that the name is no directory, so nothing looks at the name before
// the open. On Windows: CreateFileA, GetFileSizeEx, ReadFile, CloseHandle;
// the share mode keeps writers out, in place of the change check.
std::optional<std::string> ListedFileField(const std::string& name) {
  std::unique_ptr<TFileStream> stream;
  try {
    stream = std::make_unique<TFileStream>(name);
  } catch (const EFOpenError&) {
    return std::nullopt;
  } catch (...) {
    return "Error in file ";
  }
  return FieldOf(
      [&] { return stream->Size() == 0 ? "Error - Blank file!" : GetInfoHashOfStream(*stream); });
}

void WriteReportLine(const std::string& field, const std::string& shownName, bool hashOnly) {
  // Outside every catch-all on purpose: a line that cannot be written ends
  // the run (EInOutError), and no other line could be written in its place.
  WriteLine(hashOnly ? field : field + "  " + ShownText(FileNamePart(shownName)));
}

void ReportFile(const std::string& openName, const std::string& shownName, bool hashOnly) {
  const std::string field = FieldOf([&] {
    return IsExistingFile(openName) ? GetInfoHash(openName) : "Error - File not Exists: ";
  });
  WriteReportLine(field, shownName, hashOnly);
}

}  // namespace kelvane
