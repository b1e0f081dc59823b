#pragma once

namespace kelvane {

// Writes the usage screen: natively every option, the wildcards, exclusions
// and "-"; on Windows the five lines it has always had.
void ShowUsage();

// The whole run: the version line for "--version" (any letter case) as the
// first argument, else the usage screen or, after the leading options (see
// ParseOptions), one ExpandTarget per target, in order.
// Returns false when any target gave an error line or a notice. Raises only
// what nothing below handled (EInOutError, EOutOfMemory, EOutOfResources).
bool RunProgram();

}  // namespace kelvane
