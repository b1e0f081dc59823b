#include "torrent/InfoHash.h"

#include <algorithm>
#include <initializer_list>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <type_traits>
#include <vector>

#include "base/Exceptions.h"
#include "base/FileStream.h"
#include "bencode/InfoScan.h"
#include "digest/DigestTee.h"
#include "digest/SHA.h"
#include "torrent/MagnetLink.h"
#include "torrent/TorrentFacts.h"

namespace kelvane {

namespace {

constexpr std::int64_t kChunkSize = 256 * 1024;

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

// Feeds length (not negative) bytes from the stream's position to the digest
// in chunks; raises EReadError unless every one of them arrives.
void DigestRange(TStream& stream, std::int64_t length, TBlockDigest& digest) {
  std::vector<char> chunk(static_cast<std::size_t>(std::min<std::int64_t>(length, kChunkSize)));
  for (std::int64_t remaining = length; remaining > 0;) {
    const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(remaining, kChunkSize));
    stream.ReadExactly(chunk.data(), wanted);
    digest.Update(chunk.data(), wanted);
    remaining -= static_cast<std::int64_t>(wanted);
  }
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

// The digests of the last info value a scan passed, taken as it passed: the
// SHA-1 and the SHA-256 that were asked for, a long piece lent to a second
// thread that digests it while the scan reads on (TDigestTee).
class TInfoDigests final : public TInfoSink {
  static_assert(TDigestTee::kLentPieces <= kLentTakes, "the scan would overwrite lent bytes");

 public:
  TInfoDigests(bool sha1, bool sha256) : WantSha1(sha1), WantSha256(sha256) {}

  void Begin(std::int64_t offset) override {
    Start = offset;
    Taken = 0;
    Tee.reset();
    if (WantSha1) Sha1.emplace();
    if (WantSha256) Sha256.emplace();
    if (Sha1 && Sha256) {
      Tee.emplace(std::initializer_list<TBlockDigest*>{&*Sha1, &*Sha256});
    } else if (Sha1) {
      Tee.emplace(std::initializer_list<TBlockDigest*>{&*Sha1});
    } else if (Sha256) {
      Tee.emplace(std::initializer_list<TBlockDigest*>{&*Sha256});
    }
  }

  void Take(const char* bytes, std::size_t count) override {
    Taken += static_cast<std::int64_t>(count);
    if (Tee) Tee->Lend(bytes, count);
  }

  void Settle() override {
    if (Tee) Tee->Settle();
  }

  // The digest (SHA-1 or SHA-256) of exactly the range from start, length
  // bytes, or null when it was not taken.
  const TBlockDigest* Of(bool sha256, std::int64_t start, std::int64_t length) const {
    if (Start != start || Taken != length) return nullptr;
    return sha256 ? static_cast<const TBlockDigest*>(Sha256 ? &*Sha256 : nullptr)
                  : static_cast<const TBlockDigest*>(Sha1 ? &*Sha1 : nullptr);
  }

 private:
  bool WantSha1, WantSha256;
  std::int64_t Start = -1;
  std::int64_t Taken = 0;
  std::optional<TSHA1Context> Sha1;
  std::optional<TSHA256Context> Sha256;
  std::optional<TDigestTee> Tee;
};

// The digest of the info range as hex digits: as the scan took it, else from
// the bytes the scanner still holds, else read again from the stream.
template <class TContext>
std::string RangeDigest(const TInfoDigests& taken, const TInfoScanner& scanner, TStream& stream,
                        std::int64_t start, std::int64_t length) {
  constexpr bool sha256 = std::is_same_v<TContext, TSHA256Context>;
  if (const TBlockDigest* digest = taken.Of(sha256, start, length)) return digest->DigestHex();
  TContext context;
  std::string_view held;
  if (scanner.Held(start, length, held)) {
    context.Update(held.data(), held.size());
  } else {
    stream.Seek(start, TSeekOrigin::Beginning);
    DigestRange(stream, length, context);
  }
  return context.DigestHex();
}

// GetIdentitiesOfStream before the check that the source stayed as it was.
TInfoIdentities IdentitiesOf(TStream& stream, TLineContent content) {
  const std::int64_t size = stream.Size();
  const std::int64_t first = stream.Position();
  // A stream is read once: its bytes of the info value are hashed as the
  // scan passes them, with SHA-256 as well where the line may need it. A
  // larger file's info value gets on the way the digests the content asks
  // for itself; the SHA-256 that only a link's facts show to be needed is
  // read again.
  const bool once = size < 0;
  // A file of one window stays held whole: its SHA-256, where the facts show
  // that the torrent has a v2 identity, is taken from the bytes held.
  const bool heldWhole = size >= 0 && size <= static_cast<std::int64_t>(kWindow);
  TInfoDigests taken(content != TLineContent::V2Digest,
                     !heldWhole && (content == TLineContent::V2Digest ||
                                    content == TLineContent::AllIdentities ||
                                    (once && content == TLineContent::MagnetLink)));
  TInfoScanner scanner(stream, kWindow);
  const TInfoScan scan = scanner.Scan(KeysFor(content), {&taken, true});
  if (scanner.Position() == first) return TInfoIdentities::Failure("Error - Blank file!");
  if (!scan.RootIsDictionary) RaiseInvalidCast();
  if (scan.InfoStart.Kind == TKind::None || scan.InfoLength.Kind == TKind::None) {
    return TInfoIdentities::Failure("Error parsing file!");
  }
  const std::int64_t start = RangeNumber(scan.InfoStart);
  const std::int64_t length = RangeNumber(scan.InfoLength);
  // The one check of the range, whoever set it: the decoder's -1 for a value
  // the stream ended inside, and any numbers the file supplies itself, are
  // refused here. A range the scan passed lies whole in the source; any other
  // must be read again, which a stream cannot do.
  std::string_view held;
  const bool passed = taken.Of(false, start, length) != nullptr ||
                      taken.Of(true, start, length) != nullptr ||
                      (length >= 0 && scanner.Held(start, length, held));
  if (start < 0 || length < 0 || (!passed && (once || length > size - start))) RaiseReadError();
  const TTorrentFacts facts =
      content == TLineContent::V1Digest
          ? TTorrentFacts()
          : ReadTorrentFacts(KeysFor(content), scan,
                             [](const TScannedValue& value) { return value.Bytes; });
  if (content == TLineContent::V2Digest && !facts.HasV2Identity()) return {};
  TInfoIdentities identities;
  // A magnet link always needs the SHA-1: for its v1 identity, or as the name
  // of last resort.
  if (content != TLineContent::V2Digest) {
    identities.Sha1Hex = RangeDigest<TSHA1Context>(taken, scanner, stream, start, length);
  }
  if (content != TLineContent::V1Digest && facts.HasV2Identity()) {
    identities.Sha256Hex = RangeDigest<TSHA256Context>(taken, scanner, stream, start, length);
  }
  if (content == TLineContent::MagnetLink || content == TLineContent::AllIdentities) {
    identities.Magnet = MagnetLink(facts, identities.Sha1Hex, identities.Sha256Hex);
  }
  if (content == TLineContent::AllIdentities) {
    identities.Name = TorrentName(facts, identities.Sha1Hex);
  }
  return identities;
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
