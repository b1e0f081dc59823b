#include "torrent/InfoHash.h"

#include <algorithm>
#include <initializer_list>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
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

// Feeds length (not negative) bytes from the stream's position to feed in
// chunks; raises EReadError unless every one of them arrives.
template <class TFeed>
void ReadRange(TStream& stream, std::int64_t length, const TFeed& feed) {
  std::vector<char> chunk(static_cast<std::size_t>(std::min<std::int64_t>(length, kChunkSize)));
  for (std::int64_t remaining = length; remaining > 0;) {
    const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(remaining, kChunkSize));
    stream.ReadExactly(chunk.data(), wanted);
    feed(chunk.data(), wanted);
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

// The digests of the info range that are wanted, as hex digits into sha1Hex
// and sha256Hex: as the scan took them, else from the bytes the scanner still
// holds, else read again from the stream; two digests taken again are fed
// together.
void RangeDigests(const TInfoDigests& taken, const TInfoScanner& scanner, TStream& stream,
                  std::int64_t start, std::int64_t length, std::string* sha1Hex,
                  std::string* sha256Hex) {
  std::optional<TSHA1Context> sha1;
  std::optional<TSHA256Context> sha256;
  // A wanted digest the scan took is read off; one it did not take is started.
  const auto takenOrStarted = [&](std::string* hex, bool isSha256, auto& context) {
    if (hex == nullptr) return;
    if (const TBlockDigest* digest = taken.Of(isSha256, start, length)) {
      *hex = digest->DigestHex();
    } else {
      context.emplace();
    }
  };
  takenOrStarted(sha1Hex, false, sha1);
  takenOrStarted(sha256Hex, true, sha256);
  if (!sha1 && !sha256) return;
  const auto feed = [&](const char* bytes, std::size_t count) {
    if (sha1 && sha256) {
      UpdateTogether(*sha1, *sha256, bytes, count);
    } else if (sha1) {
      sha1->Update(bytes, count);
    } else {
      sha256->Update(bytes, count);
    }
  };
  std::string_view held;
  if (scanner.Held(start, length, held)) {
    feed(held.data(), held.size());
  } else {
    stream.Seek(start, TSeekOrigin::Beginning);
    ReadRange(stream, length, feed);
  }
  if (sha1) *sha1Hex = sha1->DigestHex();
  if (sha256) *sha256Hex = sha256->DigestHex();
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
  // A file of one window stays held whole: its digests, once the facts show
  // which the line needs, are taken from the bytes held, the two together
  // where it needs both.
  const bool heldWhole = size >= 0 && size <= static_cast<std::int64_t>(kWindow);
  TInfoDigests taken(!heldWhole && content != TLineContent::V2Digest,
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
  const bool sha1 = content != TLineContent::V2Digest;
  const bool sha256 = content != TLineContent::V1Digest && facts.HasV2Identity();
  RangeDigests(taken, scanner, stream, start, length, sha1 ? &identities.Sha1Hex : nullptr,
               sha256 ? &identities.Sha256Hex : nullptr);
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
