#include "base/StdOut.h"

#include <cstddef>
#include <string>

#include "base/Exceptions.h"
#include "platform/platform.h"

namespace kelvane {

namespace {

constexpr std::size_t kBufferSize = 128;

bool PlatformWrite(std::string_view bytes) {
  return platform::WriteStd(platform::StdStream::Output, bytes);
}

struct Output {
  StdOutWriter writer = nullptr;
  bool console = false;
  // Once a write has failed, every later check fails too: lost output is
  // never followed by a run that looks successful.
  bool failed = false;
  std::string buffer;
};

Output& State() {
  static Output output = [] {
    Output o;
    o.writer = PlatformWrite;
    o.console = platform::IsCharacterDevice(platform::StdStream::Output);
    return o;
  }();
  return output;
}

void HandOn(Output& out) {
  if (!out.buffer.empty() && !out.writer(out.buffer)) out.failed = true;
  out.buffer.clear();
}

void Append(Output& out, std::string_view bytes) {
  while (!bytes.empty()) {
    const std::size_t room = kBufferSize - out.buffer.size();
    const std::size_t n = bytes.size() < room ? bytes.size() : room;
    out.buffer.append(bytes.data(), n);
    bytes.remove_prefix(n);
    if (out.buffer.size() == kBufferSize) HandOn(out);
  }
}

void CheckWritten(Output& out) {
  if (out.failed) throw EInOutError("I/O error writing standard output");
}

}  // namespace

void WriteLine(std::string_view text) {
  Output& out = State();
  Append(out, text);
  Append(out, "\r\n");
  if (out.console) HandOn(out);
  CheckWritten(out);
}

void FlushStdOut() {
  Output& out = State();
  HandOn(out);
  CheckWritten(out);
}

void SetStdOutWriter(StdOutWriter writer, bool isConsole) {
  Output& out = State();
  out.buffer.clear();
  out.failed = false;
  out.writer = writer != nullptr ? writer : PlatformWrite;
  out.console =
      writer != nullptr ? isConsole : platform::IsCharacterDevice(platform::StdStream::Output);
}

}  // namespace kelvane
