#pragma once

#include <cstdint>
#include <string>

namespace kelvane {

// What the diagnostic of an error nothing handled tells: the class and message a Windows console
// program names, the code address it was raised at, and what failed with the system's code for
// why (empty and 0 where the error names none).
struct TFatalError {
  const char* ClassName = "Exception";
  std::string Message;
  const void* Address = nullptr;
  std::string Subject;
  std::uint32_t Code = 0;
};

// Ends the run after an error nothing handled: flushes standard output, writes the diagnostic to
// standard error in the system's style (platform/Conventions.h) and exits with code 1. The
// Unix style is one line, "kelvane: <subject>: <reason>", the reason being the system's text for
// the code, or the message where there is no code.
[[noreturn]] void ReportFatalError(const TFatalError& error);

}  // namespace kelvane
