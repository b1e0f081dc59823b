#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "base/Stream.h"

namespace kelvane {

// What a report line holds for a file whose info value can be used.
enum class TLineContent {
  V1Digest,    // the SHA-1 info hash
  V2Digest,    // the SHA-256 info hash, for a torrent with a v2 identity
  MagnetLink,  // the magnet link, which carries every identity the torrent has
  // Every identity at once, for a record of them: both digests where the
  // torrent has them, the magnet link and the name it gives.
  AllIdentities,
};

// What a file's info value told, as far as a line content needs it, or why
// the file has no identities. Hex digits are upper-case, as a line shows them.
struct TInfoIdentities {
  // The field of the file's error line ("Error - Blank file!" and so on);
  // empty when the file has identities.
  std::string Error;
  std::string Sha1Hex;  // empty where the content needs no SHA-1 (V2Digest)
  // Empty for a torrent without a v2 identity, and where the content needs no SHA-256.
  std::string Sha256Hex;
  std::string Magnet;               // for MagnetLink and AllIdentities
  std::optional<std::string> Name;  // the name the link gives, for AllIdentities

  // The identities of a file that has none, for the reason given.
  static TInfoIdentities Failure(std::string error) {
    TInfoIdentities failed;
    failed.Error = std::move(error);
    return failed;
  }
};

// The line a torrent without a v2 identity gets in place of its v2 digest.
inline constexpr char kNoV2InfoHash[] = "Error - No v2 info hash!";

// The line of a file whose info value cannot be used, and of every other
// failure met while reading or digesting it.
inline constexpr char kErrorInFile[] = "Error in file ";

// A source is read in windows of at most this many bytes through one buffer;
// a file no larger is read whole in one request.
inline constexpr std::size_t kWindow = 1 << 20;

// The identities of a file that content needs: the SHA-1 of the info
// value's bytes; with V2Digest the SHA-256 of the same bytes instead, empty
// for a torrent without a v2 identity; with MagnetLink the SHA-1, the
// SHA-256 where the torrent has a v2 identity, and the magnet link (see
// MagnetLink); with AllIdentities the link's name (TorrentName) as well. Or
// the Error "Error - Blank file!" for an empty file, or "Error parsing
// file!" when its root has no info range. Raises EFOpenError, EInvalidCast,
// the decoder's errors and EReadError: the info value does not lie whole in
// the file, or the file changed while it was read. The info range is read
// once, whatever digests the content needs.
TInfoIdentities GetIdentities(const std::string& fileName, TLineContent content);

// As GetIdentities, for a stream standing at its first byte, of a known size
// or of none (Size() -1: read once, from where it stands to its end, and
// never sought). An empty stream gives "Error - Blank file!". Memory stays
// bounded by kWindow and the values the content needs, whatever the stream's
// size. A stream of a known size is read again only for what the first pass
// could not know it needed (the SHA-256 of a v2 info value larger than
// kWindow where only a link asked for it on the way; a range the file
// supplies itself); a stream of none gets EReadError where its line would
// need that. The stream is asked after the last read whether its source
// changed.
TInfoIdentities GetIdentitiesOfStream(TStream& stream, TLineContent content);

// The field of a file's line with the identities content asked for: the
// Error when there is one; else the SHA-1 (40 hex digits), with V2Digest the
// SHA-256 (64 hex digits) or kNoV2InfoHash, with MagnetLink the link.
// AllIdentities, which no line shows, gives the SHA-1.
std::string LineField(const TInfoIdentities& identities, TLineContent content);

// The field of a stream's line: LineField of GetIdentitiesOfStream.
std::string GetInfoHashOfStream(TStream& stream, TLineContent content = TLineContent::V1Digest);

}  // namespace kelvane
