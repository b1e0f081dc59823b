#pragma once

#include <optional>
#include <string>

#include "driver/Options.h"
#include "torrent/InfoHash.h"

namespace kelvane {

// Writes exactly one line for the file, as WriteReportLine writes it from
// the identities options.Content asks for, or from one of the error lines.
// The file is tested and opened as openName. Every failure met on the way
// becomes the "Error in file " line; only a failure to write standard output
// escapes (EInOutError).
void ReportFile(const std::string& openName, const std::string& shownName,
                const TOptions& options);

// The identities of a file a listing named as no directory, those content
// asks for or an error, as ReportFile finds them, without looking at the name
// before opening it. None when the name does not open as a file; the caller
// then decides as ReportFile's callers always did. The file is closed on
// return. Never raises.
std::optional<TInfoIdentities> ListedFileIdentities(const std::string& name, TLineContent content);

// Writes the line of a file from its identities. With AllIdentities it is
// the file's JSON record, whatever options.HashOnly says: one object of the
// keys "path" (the name field, as UTF-8), "infohash", "infohash_v2" (or
// null), "magnet", "name" (or null) and "error" (null, or the error line's
// field, the others then null), digests in lower-case hex, and "path_hex" or
// "name_hex" beside a text that is not valid UTF-8 (see TJsonObject).
// Otherwise the line is the field (LineField), and unless options.HashOnly or
// the field is a magnet link, two spaces and the name field. The name field
// is the file-name part of shownName, shown in a line as ShownText shows it.
// Raises EInOutError (see WriteLine).
void WriteReportLine(const TInfoIdentities& identities, const std::string& shownName,
                     const TOptions& options);

// Writes the line of a listed file that no longer exists under any name:
// "Error - File not Exists: " and the whole name as ShownText shows it, with
// or without options.HashOnly; with AllIdentities its record, the whole name
// as its path. Raises EInOutError.
void WriteMissingFileLine(const std::string& name, const TOptions& options);

}  // namespace kelvane
