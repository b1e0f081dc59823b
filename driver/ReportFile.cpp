#include "driver/ReportFile.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/Exceptions.h"
#include "base/FileStream.h"
#include "base/StdOut.h"
#include "bencode/BDecode.h"
#include "digest/SHA1.h"
#include "driver/PathHelpers.h"

namespace kelvane {

namespace {

constexpr std::int64_t kChunkSize = 256 * 1024;

const TIntString& AsIntString(TObject* value) {
  auto* scalar = dynamic_cast<TIntString*>(value);
  if (scalar == nullptr) throw EInvalidCast("Invalid class typecast");
  return *scalar;
}

[[noreturn]] void RaiseReadError() {
  throw EReadError("Stream read error");
}

// The digest of length (not negative) bytes from the stream's position,
// hashed as they arrive; raises EReadError unless every one of them arrives.
std::string DigestOfRange(TStream& stream, std::int64_t length) {
  TSHA1Context context;
  std::vector<char> chunk(static_cast<std::size_t>(std::min<std::int64_t>(length, kChunkSize)));
  for (std::int64_t remaining = length; remaining > 0;) {
    const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(remaining, kChunkSize));
    const std::size_t got = stream.Read(chunk.data(), wanted);
    if (got == 0) RaiseReadError();
    context.Update(chunk.data(), got);
    remaining -= static_cast<std::int64_t>(got);
  }
  return context.DigestHex();
}

// GetInfoHashOfStream before the check that the source stayed as it was.
std::string InfoHashOf(TStream& stream) {
  std::int64_t start = 0;
  std::int64_t length = 0;
  {
    std::unique_ptr<TObject> root = DecodeStream(stream);
    auto* dictionary = dynamic_cast<TObjectHash*>(root.get());
    if (dictionary == nullptr) throw EInvalidCast("Invalid class typecast");
    if (!dictionary->Exists("_info_start") || !dictionary->Exists("_info_length")) {
      return "Error parsing file!";
    }
    start = AsIntString(dictionary->Items("_info_start")).IntValue;
    length = AsIntString(dictionary->Items("_info_length")).IntValue;
    // The tree goes before the range is read, so a large file is not held twice.
  }
  // The one check of the range, whoever set it: the decoder's -1 for a value
  // the stream ended inside, and any numbers the file supplies itself, are
  // refused here.
  if (start < 0 || length < 0 || length > stream.Size() - start) RaiseReadError();
  stream.Seek(start, TSeekOrigin::Beginning);
  return DigestOfRange(stream, length);
}

}  // namespace

std::string GetInfoHashOfStream(TStream& stream) {
  std::string result = InfoHashOf(stream);
  // Asked after the last read, so that a change during any read counts.
  if (!stream.Unchanged()) RaiseReadError();
  return result;
}

std::string GetInfoHash(const std::string& fileName) {
  TFileStream stream(fileName);
  if (stream.Size() == 0) return "Error - Blank file!";
  return GetInfoHashOfStream(stream);
}

void ReportFile(const std::string& openName, const std::string& shownName, bool hashOnly) {
  std::string nameField = "  " + ShownText(FileNamePart(shownName));
  std::string field;
  try {
    if (hashOnly) nameField.clear();
    field = IsExistingFile(openName) ? GetInfoHash(openName) : "Error - File not Exists: ";
  } catch (...) {
    field = "Error in file ";
  }
  // Outside the catch-all on purpose: a line that cannot be written ends the
  // run (EInOutError), and no other line could be written in its place.
  WriteLine(field + nameField);
}

}  // namespace kelvane
