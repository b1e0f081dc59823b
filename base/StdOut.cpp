#include "base/StdOut.h"

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/Exceptions.h"
#include "platform/Conventions.h"
#include "platform/Platform.h"

namespace kelvane {

namespace {

// Few writes for a pipe or a file, whatever the lines' lengths: a report of
// 10,000 lines takes about 18, a magnet link of megabytes one per 32 KiB.
constexpr std::size_t kBufferSize = 32 * 1024;

bool PlatformWrite(std::string_view bytes) {
  return platform::WriteStd(platform::TStdStream::Output, bytes);
}

struct TOutput {
  StdOutWriter Writer = nullptr;
  bool Console = false;
  // Once a write has failed, every later check fails too: lost output is
  // never followed by a run that looks successful.
  bool Failed = false;
  std::uint32_t FailCode = 0;  // why the first failed write failed (platform::LastError)
  std::string Buffer;
};

TOutput& State() {
  static TOutput output = [] {
    TOutput o;
    o.Buffer.reserve(kBufferSize);
    o.Writer = PlatformWrite;
    o.Console = platform::IsCharacterDevice(platform::TStdStream::Output);
    return o;
  }();
  return output;
}

void HandOn(TOutput& out) {
  if (!out.Buffer.empty() && !out.Writer(out.Buffer) && !out.Failed) {
    out.Failed = true;
    out.FailCode = platform::LastError();
  }
  out.Buffer.clear();
}

void Append(TOutput& out, std::string_view bytes) {
  while (!bytes.empty()) {
    const std::size_t room = kBufferSize - out.Buffer.size();
    const std::size_t n = bytes.size() < room ? bytes.size() : room;
    out.Buffer.append(bytes.data(), n);
    bytes.remove_prefix(n);
    if (out.Buffer.size() == kBufferSize) HandOn(out);
  }
}

void CheckWritten(TOutput& out) {
  if (out.Failed) {
    throw EInOutError("I/O error writing standard output", "write error", out.FailCode);
  }
}

}  // namespace

void WriteLine(std::string_view text) {
  TOutput& out = State();
  Append(out, text);
  Append(out, platform::kConventions.LineEnd);
  if (out.Console) HandOn(out);
  CheckWritten(out);
}

void FlushStdOut() {
  TOutput& out = State();
  HandOn(out);
  CheckWritten(out);
}

void SetStdOutWriter(StdOutWriter writer, bool isConsole) {
  TOutput& out = State();
  out.Buffer.clear();
  out.Failed = false;
  out.FailCode = 0;
  out.Writer = writer != nullptr ? writer : PlatformWrite;
  out.Console =
      writer != nullptr ? isConsole : platform::IsCharacterDevice(platform::TStdStream::Output);
}

}  // namespace kelvane
