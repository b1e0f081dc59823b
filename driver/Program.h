#pragma once

#include <cstdint>
#include <string>

namespace kelvane {

// Set once from the leading options, before the first target.
extern bool HashOnly;
extern std::int32_t FirstFileArg;

// Writes the five lines of the usage screen.
void ShowUsage();

// The whole run: the version line for "--version" (any letter case) as the
// first argument, else the usage screen or, after the leading options (see
// ParseOptions), one ExpandTarget per target, in order.
// Raises only what nothing below handled (EInOutError, EOutOfMemory).
void RunProgram();

// Ends the run after an error nothing handled: flushes standard output,
// writes the diagnostic to standard error and exits with code 1.
[[noreturn]] void ReportFatalError(const char* className, const std::string& message,
                                   const void* address);

}  // namespace kelvane
