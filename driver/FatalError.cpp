#include "driver/FatalError.h"

#include <cinttypes>
#include <cstdio>
#include <string>

#include "base/StdOut.h"
#include "driver/PathHelpers.h"
#include "platform/Conventions.h"
#include "platform/Platform.h"

namespace kelvane {

namespace {
std::string AddressText(const void* address) {
  char text[32];
  std::snprintf(text, sizeof text, "%016" PRIXPTR, reinterpret_cast<std::uintptr_t>(address));
  return text;
}
}  // namespace

void ReportFatalError(const char* className, const std::string& message, const void* address) {
  try {
    FlushStdOut();
  } catch (...) {
    // Standard output is what failed; the diagnostic goes to standard error anyway.
  }
  const bool endsWithDot = !message.empty() && message.back() == '.';
  const std::string lineEnd(platform::kConventions.LineEnd);
  const std::string diagnostic = "Exception " + std::string(className) + " in module " +
                                 FileNamePart(platform::ModuleFileName()) + " at " +
                                 AddressText(address) + "." + lineEnd + message +
                                 (message.empty() || endsWithDot ? "" : ".") + lineEnd + lineEnd;
  platform::WriteStd(platform::TStdStream::Error, platform::ToOem(diagnostic));
  platform::Exit(1);
}

}  // namespace kelvane
