#include "driver/ReportFile.h"

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

constexpr std::size_t kChunkSize = 256 * 1024;

const TIntString& AsIntString(TObject* value) {
  auto* scalar = dynamic_cast<TIntString*>(value);
  if (scalar == nullptr) throw EInvalidCast("Invalid class typecast");
  return *scalar;
}

// A range is used through the low 32 bits of each value, as a signed number.
std::int32_t Low32(std::int64_t value) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

// The digest of length bytes read from the stream's position. The bytes are
// hashed as they arrive, so a length the file only claims costs no memory;
// whatever the stream does not deliver counts as zero bytes.
std::string DigestOfRange(TStream& stream, std::int32_t length) {
  TSHA1Context context;
  std::uint64_t remaining = length > 0 ? static_cast<std::uint64_t>(length) : 0;
  if (remaining > 0) {
    std::vector<char> chunk(remaining < kChunkSize ? remaining : kChunkSize);
    while (remaining > 0) {
      const std::size_t wanted = remaining < chunk.size() ? remaining : chunk.size();
      const std::size_t got = stream.Read(chunk.data(), wanted);
      context.Update(chunk.data(), got);
      remaining -= got;
      if (got < wanted) {
        context.UpdateZeros(remaining);
        break;
      }
    }
  }
  return context.DigestHex();
}

}  // namespace

std::string GetInfoHashOfStream(TStream& stream) {
  std::int32_t start = 0;
  std::int32_t length = 0;
  {
    std::unique_ptr<TObject> root = DecodeStream(stream);
    auto* dictionary = dynamic_cast<TObjectHash*>(root.get());
    if (dictionary == nullptr) throw EInvalidCast("Invalid class typecast");
    if (!dictionary->Exists("_info_start") || !dictionary->Exists("_info_length")) {
      return "Error parsing file!";
    }
    start = Low32(AsIntString(dictionary->Items("_info_start")).IntValue);
    length = Low32(AsIntString(dictionary->Items("_info_length")).IntValue);
    // The tree goes before the range is read, so a large file is not held twice.
  }
  stream.Seek(start, TSeekOrigin::Beginning);
  return DigestOfRange(stream, length);
}

std::string GetInfoHash(const std::string& fileName) {
  TFileStream stream(fileName);
  if (stream.Size() == 0) return "Error - Blank file!";
  return GetInfoHashOfStream(stream);
}

void ReportFile(const std::string& openName, const std::string& shownName, bool hashOnly) {
  std::string nameField = "  " + ShownText(FileNamePart(shownName));
  try {
    if (hashOnly) nameField.clear();
    if (IsExistingFile(openName)) {
      WriteLine(GetInfoHash(openName) + nameField);
    } else {
      WriteLine("Error - File not Exists: " + nameField);
    }
  } catch (...) {
    WriteLine("Error in file " + nameField);
  }
}

}  // namespace kelvane
