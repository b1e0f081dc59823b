#pragma once

#include <string>

#include "base/Stream.h"
#include "driver/Options.h"

namespace kelvane {

// What ReportFile puts in a line in place of the v1 digest; the run sets it
// once from its leading options.
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

// The field of a file's line: the info hash as 40 upper-case hex digits (the
// SHA-1 of the info value's bytes), with V2Digest the SHA-256 of the same
// bytes as 64 upper-case hex digits or kNoV2InfoHash for a torrent without a
// v2 identity, with MagnetLink the magnet link (see MagnetLink); or "Error -
// Blank file!" for an empty file, or "Error parsing file!" when its root has
// no info range. Raises EFOpenError, EInvalidCast, the decoder's errors and
// EReadError: the info value does not lie whole in the file, or the file
// changed while it was read. The info range is read once, whatever digests
// the field needs.
std::string GetInfoHash(const std::string& fileName, TLineContent content = TLineContent::V1Digest);

// As GetInfoHash, for a stream standing at its first byte that is known not
// to be empty. The stream is read again for the info range, and asked after
// the last read whether its source changed.
std::string GetInfoHashOfStream(TStream& stream, TLineContent content = TLineContent::V1Digest);

}  // namespace kelvane
