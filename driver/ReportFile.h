#pragma once

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

// The info hash of a file as 40 upper-case hex digits, or "Error - Blank
// file!" for an empty file, or "Error parsing file!" when its root has no
// info range. Raises EFOpenError, EInvalidCast, the decoder's errors and
// EReadError: the info value does not lie whole in the file, or the file
// changed while it was read.
std::string GetInfoHash(const std::string& fileName);

// As GetInfoHash, for a stream standing at its first byte that is known not
// to be empty. The stream is read again for the info range, and asked after
// the last read whether its source changed.
std::string GetInfoHashOfStream(TStream& stream);

}  // namespace kelvane
