#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "driver/Options.h"
#include "torrent/InfoHash.h"

namespace kelvane {

// A file's name as its line shows it: the path as given, and how many of its first bytes name
// the target's folder as the user wrote it, which a system that shows no path as given leaves
// out of the line (platform/Conventions.h).
struct TShownName {
  // A name whose target's folder is its own directory part.
  TShownName(const std::string& path);
  TShownName(std::string path, std::size_t targetFolderLength);

  std::string Path;
  std::size_t TargetFolderLength;
};

// Writes exactly one line for the file, as WriteReportLine writes it from
// the identities options.Content asks for, or from one of the error lines.
// The file is tested and opened as openName; shownName is displayed as
// WriteReportLine shows it. Every failure met on the way becomes the
// "Error in file " line, except the system's lack of a resource
// (EOutOfResources, EOutOfMemory, std::bad_alloc), which escapes, as does a
// failure to write standard output (EInOutError). Returns whether the line
// holds a digest or a link.
bool ReportFile(const std::string& openName, const TShownName& shownName, const TOptions& options);

// What opening and reading a file found, taken by whichever thread is free.
struct TFileLook {
  // The identities content asks for, or an error. None when the name did not
  // open as a file, or a resource was lacking.
  std::optional<TInfoIdentities> Found;
  std::uint32_t OpenError = 0;  // why the name did not open (platform::LastError)
  // Nonzero when the system lacked a resource (the code says which): the
  // look tells nothing about the file, and is to be taken again.
  std::uint32_t Shortage = 0;
};

// Opens the name, known not to be a directory, and reads it for what
// ReportFile would find, without looking at the name before opening it. The
// file is closed on return. Never raises.
TFileLook LookAtFile(const std::string& name, TLineContent content);

// Raises the error that ends a run for a look whose resource was still
// lacking when the calling thread took it alone: EOutOfMemory or
// EOutOfResources, naming shownName.
[[noreturn]] void RaiseShortage(const TFileLook& look, const std::string& shownName);

// The target that names standard input; a file of that name is reached
// with a folder in front ("./-").
inline constexpr char kStandardInputTarget[] = "-";

// Writes the line of standard input, the target "-": what a file holding the
// same bytes gets, read in one pass whatever their number, under the name
// "-". Returns whether the line holds a digest or a link. Only EInOutError
// escapes, and the system's lack of a resource (as for ReportFile).
bool ReportStandardInput(const TOptions& options);

// Writes the line of a file from its identities. With AllIdentities it is
// the file's JSON record, whatever options.HashOnly says: one object of the
// keys "path" (the name field, as UTF-8), "infohash", "infohash_v2" (or
// null), "magnet", "name" (or null) and "error" (null, or the error line's
// field, the others then null), digests in lower-case hex, and "path_hex" or
// "name_hex" beside a text that is not valid UTF-8 (see TJsonObject); the
// error without its trailing blanks.
// Otherwise the line is the field (LineField), and unless options.HashOnly or
// the field is a magnet link, two spaces and the name field. The name field
// is shownName's path as given, or its part below the target's folder, as
// the system's conventions say (platform/Conventions.h), shown in a line as
// ShownText shows it. Returns whether the line holds a digest or a link
// (no error text). Raises EInOutError (see WriteLine).
bool WriteReportLine(const TInfoIdentities& identities, const TShownName& shownName,
                     const TOptions& options);

// Writes the line of a listed file that no longer exists under any name:
// "Error - File not Exists: " and the whole name as ShownText shows it, with
// or without options.HashOnly; with AllIdentities its record, the whole name
// as its path. Raises EInOutError.
void WriteMissingFileLine(const std::string& name, const TOptions& options);

}  // namespace kelvane
