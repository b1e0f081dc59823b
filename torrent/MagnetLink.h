#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "torrent/TorrentFacts.h"

namespace kelvane {

// What every magnet link starts with.
inline constexpr std::string_view kMagnetLinkStart = "magnet:?";

// The torrent's magnet link as libtorrent 2.0 builds it (make_magnet_uri of a
// loaded torrent_info): "magnet:?" and, joined by "&", "xt=urn:btih:" and the
// v1 hash when the torrent has a v1 identity, "xt=urn:btmh:1220" and the v2
// hash when it has a v2 one, "dn=" and the name, "tr=" for each tracker and
// "ws=" for each web seed, every value escaped by EscapeForMagnet. sha1Hex is
// the info bytes' SHA-1 (also the name of last resort), sha256Hex their
// SHA-256 or empty, both hexadecimal in either case; the link has them in
// lower case. Trackers keep the file's order, where libtorrent shuffles those
// of one tier. For a torrent libtorrent refuses to load the same rules give a
// link of their own; one whose name gives none has no "dn=".
std::string MagnetLink(const TTorrentFacts& facts, std::string_view sha1Hex,
                       std::string_view sha256Hex);

// The name a magnet link gives the torrent (its "dn=" before escaping): the
// name libtorrent gives it, or none where libtorrent refuses the file for
// want of one. sha1Hex is the info bytes' SHA-1, in hex of either case.
std::optional<std::string> TorrentName(const TTorrentFacts& facts, std::string_view sha1Hex);

// Hex digits in lower case, as a link (and a JSON record) writes a digest.
std::string LowerCaseHex(std::string_view hex);

// The bytes with every one but A-Z, a-z, 0-9 and - _ . ! ~ * ( ) written as
// "%" and two lower-case hex digits.
std::string EscapeForMagnet(std::string_view bytes);

// One name or path element as libtorrent keeps it: "/" and "\" dropped, and
// so are NUL and the bidirectional marks U+200E, U+200F and U+202A to U+202E;
// a control character or a byte of malformed UTF-8 becomes "_"; the rest is
// cut once 240 bytes were kept, save an extension of at most 9 bytes; "." and
// ".." become empty.
std::string SanitizedPathElement(std::string_view raw);

// A web seed as libtorrent keeps it: when the URL parses and its path holds a
// byte that needs escaping, the path is percent-encoded (lower-case) and the
// URL rebuilt without its leading white space; otherwise the URL as given.
std::string WebSeedUrl(std::string_view url);

}  // namespace kelvane
