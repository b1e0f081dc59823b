#pragma once

#include <string>

namespace kelvane {

// Ends the run after an error nothing handled: flushes standard output,
// writes the diagnostic to standard error, its lines ended as the system's
// conventions say, and exits with code 1.
[[noreturn]] void ReportFatalError(const char* className, const std::string& message,
                                   const void* address);

}  // namespace kelvane
