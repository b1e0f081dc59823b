#pragma once

#include <cstdint>

namespace kelvane::platform {

// Keeps the code a failed call leaves, for LastError().
void KeepError(std::uint32_t code);

}  // namespace kelvane::platform
