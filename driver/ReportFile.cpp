#include "driver/ReportFile.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/Exceptions.h"
#include "base/FileStream.h"
#include "base/StdOut.h"
#include "bencode/BDecode.h"
#include "digest/DigestTee.h"
#include "digest/SHA1.h"
#include "digest/SHA256.h"
#include "driver/MagnetLink.h"
#include "driver/PathHelpers.h"
#include "driver/TorrentFacts.h"

namespace kelvane {

TLineContent LineContent = TLineContent::V1Digest;

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

// Feeds length (not negative) bytes from the stream's position to the tee as
// they arrive; raises EReadError unless every one of them arrives.
void DigestRange(TStream& stream, std::int64_t length, TDigestTee& tee) {
  std::vector<char> chunk(static_cast<std::size_t>(std::min<std::int64_t>(length, kChunkSize)));
  for (std::int64_t remaining = length; remaining > 0;) {
    const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(remaining, kChunkSize));
    const std::size_t got = stream.Read(chunk.data(), wanted);
    if (got == 0) RaiseReadError();
    tee.Update(chunk.data(), got);
    remaining -= static_cast<std::int64_t>(got);
  }
}

// GetInfoHashOfStream before the check that the source stayed as it was.
std::string InfoHashOf(TStream& stream, TLineContent content) {
  std::int64_t start = 0;
  std::int64_t length = 0;
  TTorrentFacts facts;
  {
    std::unique_ptr<TObject> root = DecodeStream(stream);
    auto* dictionary = dynamic_cast<TObjectHash*>(root.get());
    if (dictionary == nullptr) throw EInvalidCast("Invalid class typecast");
    if (!dictionary->Exists("_info_start") || !dictionary->Exists("_info_length")) {
      return "Error parsing file!";
    }
    start = AsIntString(dictionary->Items("_info_start")).IntValue;
    length = AsIntString(dictionary->Items("_info_length")).IntValue;
    if (content != TLineContent::V1Digest) facts = ReadTorrentFacts(*dictionary, stream);
    // The tree goes before the range is read, so a large file is not held twice.
  }
  // The one check of the range, whoever set it: the decoder's -1 for a value
  // the stream ended inside, and any numbers the file supplies itself, are
  // refused here.
  if (start < 0 || length < 0 || length > stream.Size() - start) RaiseReadError();
  if (content == TLineContent::V2Digest && !facts.HasV2Identity()) return kNoV2InfoHash;
  // A magnet link always needs the SHA-1: for its v1 identity, or as the name
  // of last resort.
  const bool needsSha1 = content != TLineContent::V2Digest;
  const bool needsSha256 = content == TLineContent::V2Digest || facts.HasV2Identity();
  TSHA1Context sha1;
  TSHA256Context sha256;
  TDigestTee tee = needsSha1 && needsSha256 ? TDigestTee{&sha1, &sha256}
                   : needsSha1              ? TDigestTee{&sha1}
                                            : TDigestTee{&sha256};
  stream.Seek(start, TSeekOrigin::Beginning);
  DigestRange(stream, length, tee);
  switch (content) {
    case TLineContent::V1Digest:
      return sha1.DigestHex();
    case TLineContent::V2Digest:
      return sha256.DigestHex();
    case TLineContent::MagnetLink:
      break;
  }
  return MagnetLink(facts, sha1.DigestHex(), needsSha256 ? sha256.DigestHex() : "");
}

}  // namespace

std::string GetInfoHashOfStream(TStream& stream, TLineContent content) {
  std::string result = InfoHashOf(stream, content);
  // Asked after the last read, so that a change during any read counts.
  if (!stream.Unchanged()) RaiseReadError();
  return result;
}

std::string GetInfoHash(const std::string& fileName, TLineContent content) {
  TFileStream stream(fileName);
  if (stream.Size() == 0) return "Error - Blank file!";
  return GetInfoHashOfStream(stream, content);
}

void ReportFile(const std::string& openName, const std::string& shownName, bool hashOnly) {
  std::string nameField = "  " + ShownText(FileNamePart(shownName));
  std::string field;
  try {
    if (hashOnly) nameField.clear();
    field =
        IsExistingFile(openName) ? GetInfoHash(openName, LineContent) : "Error - File not Exists: ";
  } catch (...) {
    field = "Error in file ";
  }
  // Outside the catch-all on purpose: a line that cannot be written ends the
  // run (EInOutError), and no other line could be written in its place.
  WriteLine(field + nameField);
}

}  // namespace kelvane
