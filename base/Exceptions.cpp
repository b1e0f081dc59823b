#include "base/Exceptions.h"

#include <utility>

namespace kelvane {

// Kept out of line so that the return address is the raising code, not this
// constructor.
__attribute__((noinline)) Exception::Exception(std::string message)
    : Text(std::move(message)), RaiseAddress(__builtin_return_address(0)) {}

void RaiseOutOfMemory() {
  throw EOutOfMemory("Out of memory");
}

}  // namespace kelvane
