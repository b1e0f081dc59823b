#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/Stream.h"

namespace kelvane {

// Writes exactly one line for the file: "<digest>  <name>", or one of the
// error lines. The file is tested and opened as openName; only the file-name
// part of shownName is displayed (as ShownText shows it), and nothing at all
// with hashOnly. Every
// failure met on the way becomes the "Error in file " line; only a failure
// to write standard output escapes (EInOutError).
void ReportFile(const std::string& openName, const std::string& shownName, bool hashOnly);

// A file of at most this many bytes is read whole in one request and hashed
// from memory; a larger one is scanned in windows and its info value read
// again.
inline constexpr std::int64_t kReadWholeLimit = 64 << 20;

// The field of the line of a file a listing named as no directory: the
// digest or an error text, as ReportFile finds it, without looking at the
// name before opening it. None when the name does not open as a file; the
// caller then decides as ReportFile's callers always did. The file is closed
// on return. Never raises.
std::optional<std::string> ListedFileField(const std::string& name);

// Writes the line of a file: the field, and unless hashOnly, two spaces and
// the file-name part of shownName. Raises EInOutError (see WriteLine).
void WriteReportLine(const std::string& field, const std::string& shownName, bool hashOnly);

// The info hash of a file as 40 upper-case hex digits, or "Error - Blank
// file!" for an empty file, or "Error parsing file!" when its root has no
// info range. Raises EFOpenError, EInvalidCast, the decoder's errors and
// EReadError: the info value does not lie whole in the file, or the file
// changed while it was read.
std::string GetInfoHash(const std::string& fileName);

// As GetInfoHash, for a stream standing at its first byte that is known not
// to be empty. A stream of more than kReadWholeLimit bytes is read again for
// the info range; the stream is asked after the last read whether its source
// changed.
std::string GetInfoHashOfStream(TStream& stream);

}  // namespace kelvane
