#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kelvane::fuzz {

// What the scanner notes of `input` (the root's info range, the values of the
// keys a magnet link is made from and of a few others, or the error met, and
// where reading stopped) as text, read by the decoder's tree. Beside the
// fuzz target, the scanner's unit tests hold it to the same comparison.
std::string FromTree(std::string_view input);

// The same from a scan of `input` in windows of `window` bytes (0: the input
// in memory) from a stream that tells its size or, unless knowsSize, one that
// cannot, as a pipe. Each noted value is shown as the decoder reads it from
// its noted offset. A noted value that is not what its bytes hold, that the
// decoder ends elsewhere than at its noted length, or a stream left elsewhere
// than the scanner says, is shown too, so that the two texts differ.
std::string FromScan(std::string_view input, std::size_t window, bool knowsSize = true);

}  // namespace kelvane::fuzz
