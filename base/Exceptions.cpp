#include "base/Exceptions.h"

#include <utility>

#include "platform/Platform.h"

namespace kelvane {

// Kept out of line so that the return address is the raising code, not this
// constructor.
__attribute__((noinline)) Exception::Exception(std::string message)
    : Text(std::move(message)), RaiseAddress(__builtin_return_address(0)) {}

__attribute__((noinline))
Exception::Exception(std::string message, std::string subject, std::uint32_t code)
    : Text(std::move(message)),
      About(std::move(subject)),
      SystemCode(code),
      RaiseAddress(__builtin_return_address(0)) {}

void RaiseOutOfMemory() {
  throw EOutOfMemory("Out of memory", "", platform::kErrorNoMemory);
}

}  // namespace kelvane
