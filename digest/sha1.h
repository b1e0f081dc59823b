#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelvane {

// The SHA-1 digest (FIPS 180-1) of the whole message, as 40 hexadecimal
// digits with upper-case letters. Never raises except for exhausted memory.
std::string SHA1DigestHex(std::string_view message);

}  // namespace kelvane
