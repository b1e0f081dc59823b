#include "torrent/InfoHash.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "base/Exceptions.h"
#include "base/FileStream.h"
#include "bencode/InfoScan.h"
#include "digest/DigestTee.h"
#include "digest/SHA.h"
#include "torrent/MagnetLink.h"
#include "driver/PathHelpers.h"
#include "torrent/TorrentFacts.h"

namespace kelvane {

namespace {

constexpr std::int64_t kChunkSize = 256 * 1024;
// The window a file larger than kReadWholeLimit is scanned in; long strings
// beyond it are stepped over unread.
constexpr std::size_t kWindow = 1 << 20;

using TKind = TScannedValue::TKind;

[[noreturn]] void RaiseInvalidCast() {
  throw EInvalidCast("Invalid class typecast");
}

[[noreturn]] void RaiseReadError() {
  throw EReadError("Stream read error");
}

// An entry of the root's info range as a number: a byte string counts as 0,
// a list or a dictionary is no number.
std::int64_t RangeNumber(const TScannedValue& value) {
  if (value.Kind == TKind::List || value.Kind == TKind::Dictionary) RaiseInvalidCast();
  return value.Kind == TKind::Integer ? value.Integer : 0;
}

// Feeds length (not negative) bytes from the stream's position to the tee in
// chunks; raises EReadError unless every one of them arrives.
void DigestRange(TStream& stream, std::int64_t length, TDigestTee& tee) {
  std::vector<char> chunk(static_cast<std::size_t>(std::min<std::int64_t>(length, kChunkSize)));
  for (std::int64_t remaining = length; remaining > 0;) {
    const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(remaining, kChunkSize));
    stream.ReadExactly(chunk.data(), wanted);
    tee.Update(chunk.data(), wanted);
    remaining -= static_cast<std::int64_t>(wanted);
  }
}

// The bytes of length (not negative) from offset: those the scanner holds, or
// read again from the stream; raises EReadError unless every one arrives.
std::string BytesAt(const TInfoScanner& scanner, TStream& stream, std::int64_t offset,
                    std::int64_t length) {
  std::string_view held;
  if (scanner.Held(offset, length, held)) return std::string(held);
  std::string bytes(static_cast<std::size_t>(length), '\0');
  stream.Seek(offset, TSeekOrigin::Beginning);
  stream.ReadExactly(bytes.data(), bytes.size());
  return bytes;
}

// The keys each line content needs noted by the scan.
const TScanKeys& KeysFor(TLineContent content) {
  static const TScanKeys none;
  static const TScanKeys v2{{}, {"meta version"}};
  switch (content) {
    case TLineContent::V1Digest:
      return none;
    case TLineContent::V2Digest:
      return v2;
    case TLineContent::MagnetLink:
    case TLineContent::AllIdentities:
      break;
  }
  return kTorrentFactKeys;
}

// The identities content asks for, or the Error "Error parsing file!", from
// a scan of a stream of size bytes made with KeysFor(content). The info range
// is hashed from the bytes the scanner holds when it holds it whole, else read
// again from the stream, once whatever digests the content needs.
TInfoIdentities IdentitiesOfScan(const TInfoScanner& scanner, const TInfoScan& scan,
                                 TStream& stream, std::int64_t size, TLineContent content) {
  if (!scan.RootIsDictionary) RaiseInvalidCast();
  if (scan.InfoStart.Kind == TKind::None || scan.InfoLength.Kind == TKind::None) {
    return TInfoIdentities::Failure("Error parsing file!");
  }
  const std::int64_t start = RangeNumber(scan.InfoStart);
  const std::int64_t length = RangeNumber(scan.InfoLength);
  // The one check of the range, whoever set it: the decoder's -1 for a value
  // the stream ended inside, and any numbers the file supplies itself, are
  // refused here.
  if (start < 0 || length < 0 || length > size - start) RaiseReadError();
  const TTorrentFacts facts =
      content == TLineContent::V1Digest
          ? TTorrentFacts()
          : ReadTorrentFacts(KeysFor(content), scan, [&](const TScannedValue& value) {
              return BytesAt(scanner, stream, value.Offset, value.Length);
            });
  if (content == TLineContent::V2Digest && !facts.HasV2Identity()) return {};
  // A magnet link always needs the SHA-1: for its v1 identity, or as the name
  // of last resort.
  const bool needsSha1 = content != TLineContent::V2Digest;
  const bool needsSha256 = content != TLineContent::V1Digest && facts.HasV2Identity();
  TSHA1Context sha1;
  TSHA256Context sha256;
  TDigestTee tee = needsSha1 && needsSha256 ? TDigestTee{&sha1, &sha256}
                   : needsSha1              ? TDigestTee{&sha1}
                                            : TDigestTee{&sha256};
  std::string_view held;
  if (scanner.Held(start, length, held)) {
    tee.Update(held.data(), held.size());
  } else {
    stream.Seek(start, TSeekOrigin::Beginning);
    DigestRange(stream, length, tee);
  }
  TInfoIdentities identities;
  if (needsSha1) identities.Sha1Hex = sha1.DigestHex();
  if (needsSha256) identities.Sha256Hex = sha256.DigestHex();
  if (content == TLineContent::MagnetLink || content == TLineContent::AllIdentities) {
    identities.Magnet = MagnetLink(facts, identities.Sha1Hex, identities.Sha256Hex);
  }
  if (content == TLineContent::AllIdentities) {
    identities.Name = TorrentName(facts, identities.Sha1Hex);
  }
  return identities;
}

// GetIdentitiesOfStream before the check that the source stayed as it was.
TInfoIdentities IdentitiesOf(TStream& stream, TLineContent content) {
  const std::int64_t size = stream.Size();
  TInfoScanner scanner(stream, size >= 0 && size <= kReadWholeLimit ? std::size_t(size) : kWindow);
  return IdentitiesOfScan(scanner, scanner.Scan(KeysFor(content)), stream, size, content);
}

}  // namespace

TInfoIdentities GetIdentitiesOfStream(TStream& stream, TLineContent content) {
  TInfoIdentities identities = IdentitiesOf(stream, content);
  // Asked after the last read, so that a change during any read counts.
  if (!stream.Unchanged()) RaiseReadError();
  return identities;
}

TInfoIdentities GetIdentities(const std::string& fileName, TLineContent content) {
  TFileStream stream(fileName);
  if (stream.Size() == 0) return TInfoIdentities::Failure("Error - Blank file!");
  return GetIdentitiesOfStream(stream, content);
}

std::string LineField(const TInfoIdentities& identities, TLineContent content) {
  if (!identities.Error.empty()) return identities.Error;
  switch (content) {
    case TLineContent::V1Digest:
    case TLineContent::AllIdentities:
      break;
    case TLineContent::V2Digest:
      return identities.Sha256Hex.empty() ? kNoV2InfoHash : identities.Sha256Hex;
    case TLineContent::MagnetLink:
      return identities.Magnet;
  }
  return identities.Sha1Hex;
}

std::string GetInfoHashOfStream(TStream& stream, TLineContent content) {
  return LineField(GetIdentitiesOfStream(stream, content), content);
}

}  // namespace kelvane
