#pragma once

namespace kelvane {

// Writes the five lines of the usage screen.
void ShowUsage();

// The whole run: the version line for "--version" (any letter case) as the
// first argument, else the usage screen or, after the leading options (see
// ParseOptions), one ExpandTarget per target, in order.
// Raises only what nothing below handled (EInOutError, EOutOfMemory).
void RunProgram();

}  // namespace kelvane
