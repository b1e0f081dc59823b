#pragma once

#include <cstddef>
#include <string_view>

namespace kelvane {

// Standard output of the whole program. Texts go out as the bytes they hold,
// each line ended by the system's line end (platform/Conventions.h: CR LF on
// Windows, LF on POSIX). A console gets every line as soon as it ends;
// anything else is gathered in a buffer (128 bytes unless SetStdOutBufferSize
// says otherwise) that is handed on when full and by FlushStdOut.

// Writes text and the line end. Raises EInOutError, after the line, when any part of
// it or of any earlier line could not be written.
void WriteLine(std::string_view text);

// Hands on whatever the buffer holds. Raises EInOutError when that fails.
void FlushStdOut();

// From now on, gathers what is not for a console in a buffer of this many
// bytes (not 0) instead, after handing on what the buffer holds.
void SetStdOutBufferSize(std::size_t bytes);

// Where standard output goes. The program writes through the platform; tests
// put a function of their own in its place (nullptr restores the platform),
// which starts with an empty 128-byte buffer.
using StdOutWriter = bool (*)(std::string_view bytes);
void SetStdOutWriter(StdOutWriter writer, bool isConsole);

}  // namespace kelvane
