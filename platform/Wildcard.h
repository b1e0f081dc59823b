#pragma once

#include <string_view>

namespace kelvane::platform {

// True when the mask consumes the whole name, byte for byte: "*" matches any run of bytes, the
// empty run included, "?" exactly one byte, every other byte only itself. Letter case counts;
// callers that ignore it fold both texts first. The one matcher of the program and of the POSIX
// directory search.
bool WildcardMatch(std::string_view name, std::string_view mask);

}  // namespace kelvane::platform
