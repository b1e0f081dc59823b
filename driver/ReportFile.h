#pragma once

#include <optional>
#include <string>

#include "driver/Options.h"

namespace kelvane {

// Writes exactly one line for the file: "<field>  <name>", the field being
// what options.Content asks for or one of the error lines. The file is tested
// and opened as openName; only the file-name part of shownName is displayed
// (as ShownText shows it), and nothing at all with options.HashOnly. Every
// failure met on the way becomes the "Error in file " line; only a failure to
// write standard output escapes (EInOutError).
void ReportFile(const std::string& openName, const std::string& shownName,
                const TOptions& options);

// The field of the line of a file a listing named as no directory: what
// content asks for or an error text, as ReportFile finds it, without looking
// at the name before opening it. None when the name does not open as a file;
// the caller then decides as ReportFile's callers always did. The file is
// closed on return. Never raises.
std::optional<std::string> ListedFileField(const std::string& name, TLineContent content);

// The target that names standard input; a file of that name is reached
// with a folder in front ("./-").
inline constexpr char kStandardInputTarget[] = "-";

// Writes the line of standard input, the target "-": the field a file
// holding the same bytes gets, read in one pass whatever their number, and
// the name "-". Only EInOutError escapes.
void ReportStandardInput(const TOptions& options);

// Writes the line of a file: the field, and unless options.HashOnly or the
// field is a magnet link, two spaces and the file-name part of shownName.
// Raises EInOutError (see WriteLine).
void WriteReportLine(const std::string& field, const std::string& shownName,
                     const TOptions& options);

}  // namespace kelvane
