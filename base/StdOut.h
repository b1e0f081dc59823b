#pragma once

#include <string_view>

namespace kelvane {

// Standard output of the whole program. Texts go out as the bytes they hold,
// each line ended by the system's line end (platform/Conventions.h: CR LF on
// Windows, LF on POSIX). A console gets every line as soon as it ends;
// anything else (a pipe, a file) is gathered in a 32 KiB buffer that is handed
// on in one write when full and by FlushStdOut, which the program calls
// before each notice on standard error and at its end.

// Writes text and the line end. Raises EInOutError, after the line, when any part of
// it or of any earlier line could not be written.
void WriteLine(std::string_view text);

// Hands on whatever the buffer holds. Raises EInOutError when that fails.
void FlushStdOut();

// Where standard output goes. The program writes through the platform; tests
// put a function of their own in its place (nullptr restores the platform).
using StdOutWriter = bool (*)(std::string_view bytes);
void SetStdOutWriter(StdOutWriter writer, bool isConsole);

}  // namespace kelvane
