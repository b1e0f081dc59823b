#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/Stream.h"
#include "driver/Options.h"

namespace kelvane {

// What ReportFile and ListedFileField put in a line in place of the v1
// digest; the run sets it once from its leading options, before any file.
extern TLineContent LineContent;

// The line a torrent without a v2 identity gets in place of its v2 digest.
inline constexpr char kNoV2InfoHash[] = "Error - No v2 info hash!";

// Writes exactly one line for the file: "<field>  <name>", the field being
// what LineContent asks for or one of the error lines. The file is tested
// and opened as openName; only the file-name part of shownName is displayed
// (as ShownText shows it), and nothing at all with hashOnly. Every failure
// met on the way becomes the "Error in file " line; only a failure to write
// standard output escapes (EInOutError).
void ReportFile(const std::string& openName, const std::string& shownName, bool hashOnly);

// A file of at most this many bytes is read whole in one request and hashed
// from memory; a larger one is scanned in windows and its info value read
// again.
inline constexpr std::int64_t kReadWholeLimit = 64 << 20;

// The field of the line of a file a listing named as no directory: what
// LineContent asks for or an error text, as ReportFile finds it, without looking at the
// name before opening it. None when the name does not open as a file; the
// caller then decides as ReportFile's callers always did. The file is closed
// on return. Never raises.
std::optional<std::string> ListedFileField(const std::string& name);

// Writes the line of a file: the field, and unless hashOnly or the field is a
// magnet link, two spaces and the file-name part of shownName. Raises EInOutError (see WriteLine).
void WriteReportLine(const std::string& field, const std::string& shownName, bool hashOnly);

// The field of a file's line: the info hash as 40 upper-case hex digits (the
// SHA-1 of the info value's bytes); with V2Digest the SHA-256 of the same
// bytes as 64 upper-case hex digits, or kNoV2InfoHash for a torrent without
// a v2 identity; with MagnetLink the magnet link (see MagnetLink). Or "Error
// - Blank file!" for an empty file, or "Error parsing file!" when its root
// has no info range. Raises EFOpenError, EInvalidCast, the decoder's errors
// and EReadError: the info value does not lie whole in the file, or the file
// changed while it was read. The info range is read once, whatever digests
// the field needs.
std::string GetInfoHash(const std::string& fileName, TLineContent content = TLineContent::V1Digest);

// As GetInfoHash, for a stream standing at its first byte that is known not
// to be empty. A stream of more than kReadWholeLimit bytes is read again for
// the info range; the stream is asked after the last read whether its source
// changed.
std::string GetInfoHashOfStream(TStream& stream, TLineContent content = TLineContent::V1Digest);

}  // namespace kelvane
