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

std::string UnixDiagnostic(const TFatalError& error) {
  const std::string subject = error.Subject.empty() ? "" : ShownText(error.Subject) + ": ";
  return "kelvane: " + subject +
         (error.Code != 0 ? platform::ErrorText(error.Code) : error.Message) +
         std::string(platform::kConventions.LineEnd);
}

std::string WindowsDiagnostic(const TFatalError& error) {
  const std::string& message = error.Message;
  const bool endsWithDot = !message.empty() && message.back() == '.';
  const std::string lineEnd(platform::kConventions.LineEnd);
  return platform::ToOem("Exception " + std::string(error.ClassName) + " in module " +
                         FileNamePart(platform::ModuleFileName()) + " at " +
                         AddressText(error.Address) + "." + lineEnd + message +
                         (message.empty() || endsWithDot ? "" : ".") + lineEnd + lineEnd);
}

}  // namespace

void ReportFatalError(const TFatalError& error) {
  try {
    FlushStdOut();
  } catch (...) {
    // Standard output is what failed; the diagnostic goes to standard error anyway.
  }
  platform::WriteStd(platform::TStdStream::Error, platform::kConventions.UnixDiagnostics
                                                      ? UnixDiagnostic(error)
                                                      : WindowsDiagnostic(error));
  platform::Exit(1);
}

}  // namespace kelvane
