#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/Stream.h"

namespace kelvane {

// What a report line holds for a file whose info value can be used.
enum class TLineContent {
  V1Digest,    // the SHA-1 info hash
  V2Digest,    // the SHA-256 info hash, for a torrent with a v2 identity
  MagnetLink,  // the magnet link, which carries every identity the torrent has
};

// The line a torrent without a v2 identity gets in place of its v2 digest.
inline constexpr char kNoV2InfoHash[] = "Error - No v2 info hash!";

// The line of a file whose info value cannot be used, and of every other
// failure met while reading or digesting it.
inline constexpr char kErrorInFile[] = "Error in file ";

// A source is read in windows of at most this many bytes through one buffer;
// a file no larger is read whole in one request.
inline constexpr std::size_t kWindow = 1 << 20;

// The field of a file's line: the info hash as 40 upper-case hex digits (the
// SHA-1 of the info value's bytes); with V2Digest the SHA-256 of the same
// bytes as 64 upper-case hex digits, or kNoV2InfoHash for a torrent without
// a v2 identity; with MagnetLink the magnet link (see MagnetLink). Or "Error
// - Blank file!" for an empty file, or "Error parsing file!" when its root
// has no info range. Raises EFOpenError, EInvalidCast, the decoder's errors
// and EReadError: the info value does not lie whole in the file, or the file
// changed while it was read. The info range is read once, whatever digests
// the field needs.
std::string GetInfoHash(const std::string& fileName, TLineContent content = TLineContent::V1Digest);

// As GetInfoHash, for a stream standing at its first byte, of a known size or
// of none (Size() -1: read once, from where it stands to its end, and never
// sought). Memory stays bounded by kWindow and the values the field needs,
// whatever the stream's size. A stream of a known size is read again only
// for what the first pass could not know it needed (the SHA-256 of a large
// v2 info value; a range the file supplies itself); a stream of none gets
// EReadError where its line would need that. The stream is asked after the
// last read whether its source changed.
std::string GetInfoHashOfStream(TStream& stream, TLineContent content = TLineContent::V1Digest);

}  // namespace kelvane
