#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "driver/Options.h"

namespace kelvane {

// Writes exactly one line for the file: "<field>  <name>", the field being
// what options.Content asks for or one of the error lines. The file is tested
// and opened as openName; shownName is displayed as WriteReportLine shows it.
// Every failure met on the way becomes the "Error in file " line, except the
// system's lack of a resource (EOutOfResources, EOutOfMemory, std::bad_alloc),
// which escapes, as does a failure to write standard output (EInOutError).
// Returns whether the line holds a digest or a link.
bool ReportFile(const std::string& openName, const std::string& shownName, const TOptions& options);

// What opening and reading a file found, taken by whichever thread is free.
struct TFileLook {
  // The line's field: what the content asks for or an error text. None when
  // the name did not open as a file, or a resource was lacking.
  std::optional<std::string> Field;
  std::uint32_t OpenError = 0;  // why the name did not open (platform::LastError)
  // Nonzero when the system lacked a resource (the code says which): the
  // look tells nothing about the file, and is to be taken again.
  std::uint32_t Shortage = 0;
};

// Opens the name, known not to be a directory, and reads it for its field, as
// ReportFile finds it, without looking at the name before opening it. The
// file is closed on return. Never raises.
TFileLook LookAtFile(const std::string& name, TLineContent content);

// Raises the error that ends a run for a look whose resource was still
// lacking when the calling thread took it alone: EOutOfMemory or
// EOutOfResources, naming shownName.
[[noreturn]] void RaiseShortage(const TFileLook& look, const std::string& shownName);

// Writes the line of a file: the field, and unless options.HashOnly or the
// field is a magnet link, two spaces and the name: shownName as the user gave
// its directory, or its file-name part alone, as the system's conventions say
// (platform/Conventions.h), control bytes shown as "?". Returns whether the
// field is a digest or a link (no error text). Raises EInOutError (see
// WriteLine).
bool WriteReportLine(const std::string& field, const std::string& shownName,
                     const TOptions& options);

}  // namespace kelvane
