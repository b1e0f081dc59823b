#pragma once

namespace kelvane {

// The decoding errors DecodeStream and TInfoScanner both raise, with one
// text each. Out of line, to keep the readers' frames small.

// Raises EConvertError for a dictionary key that starts with byte.
[[noreturn]] void RaiseNotAnInteger(char byte);

// Raises ENestingTooDeep.
[[noreturn]] void RaiseNestingTooDeep();

}  // namespace kelvane
