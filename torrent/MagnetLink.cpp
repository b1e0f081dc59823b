#include "torrent/MagnetLink.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <unordered_set>
#include <vector>

namespace kelvane {

namespace {

// Every rule here was read from libtorrent's output on crafted files.

constexpr std::size_t kMaxElementBytes = 240;
constexpr std::size_t kMaxKeptExtension = 9;  // the dot included
constexpr std::string_view kWhiteSpace = " \t\n\r\v\f";
constexpr char kHexDigits[] = "0123456789abcdef";

bool IsAlphaNumeric(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

bool IsUnreserved(unsigned char c) {
  return IsAlphaNumeric(c) ||
         std::string_view("-_.!~*()").find(static_cast<char>(c)) != std::string_view::npos;
}

// Kept as they are when a web seed's path is escaped.
bool IsPathByte(unsigned char c) {
  return IsUnreserved(c) || c == '/';
}

// A path made only of these needs no escaping, and its URL is kept as given.
bool NeedsNoEscaping(unsigned char c) {
  return IsPathByte(c) ||
         std::string_view("$%&+,:;=?@").find(static_cast<char>(c)) != std::string_view::npos;
}

// Appends `bytes`, each byte `keep` refuses as "%" and two lower-case hex digits.
void AppendEscaped(std::string& out, std::string_view bytes, bool (*keep)(unsigned char)) {
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (keep(byte)) {
      out += c;
    } else {
      out += '%';
      out += kHexDigits[byte >> 4];
      out += kHexDigits[byte & 15];
    }
  }
}

std::string LeftTrimmed(std::string_view text) {
  const std::size_t start = text.find_first_not_of(kWhiteSpace);
  return start == std::string_view::npos ? std::string() : std::string(text.substr(start));
}

// One character of libtorrent's lenient UTF-8 reading at text[at]: its code
// point, or -1 for a malformed one, and the bytes it takes. A sequence cut
// by the end takes every byte left; a malformed one of full length takes
// that length.
struct TCharacter {
  std::int32_t CodePoint;
  std::size_t Length;
};

TCharacter ReadCharacter(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) return {lead, 1};
  if (lead < 0xC0 || lead >= 0xFC) return {-1, 1};
  const std::size_t length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF8 ? 4 : 5;
  if (length > text.size() - at) return {-1, text.size() - at};
  if (length == 5) return {-1, 5};
  constexpr std::int32_t kLeadBits[] = {0x1F, 0x0F, 0x07};
  constexpr std::int32_t kSmallest[] = {0x80, 0x800, 0x10000};
  std::int32_t codePoint = lead & kLeadBits[length - 2];
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[at + k]);
    if ((next & 0xC0) != 0x80) return {-1, length};
    codePoint = codePoint << 6 | (next & 0x3F);
  }
  const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
  if (codePoint < kSmallest[length - 2] || surrogate || codePoint > 0x10FFFF) return {-1, length};
  return {codePoint, length};
}

bool IsDropped(std::int32_t codePoint) {
  return codePoint == 0 || codePoint == 0x200E || codePoint == 0x200F ||
         (codePoint >= 0x202A && codePoint <= 0x202E);
}

// Sanitises text until its end or, with a limit, until a copied character
// brings the bytes added to at least limit; a "_" put in place of a
// character counts towards the limit but never ends the run. Returns the
// result and sets stop to the first byte not consumed.
std::string SanitizedCharacters(std::string_view text, std::size_t limit, std::size_t& stop) {
  std::string out;
  std::size_t at = 0;
  while (at < text.size()) {
    if (text[at] == '/' || text[at] == '\\') {
      ++at;
      continue;
    }
    const TCharacter character = ReadCharacter(text, at);
    const std::size_t start = at;
    at += character.Length;
    if (IsDropped(character.CodePoint)) continue;
    if (character.CodePoint < 0x20) {
      out += '_';
      continue;
    }
    out.append(text.substr(start, character.Length));
    if (limit != 0 && out.size() >= limit) break;
  }
  stop = at;
  return out;
}

// The digits of a port, saturated at the largest 64-bit value and then cut
// to 32 bits; none when anything but digits is there, 0 when nothing is.
std::optional<std::int32_t> PortNumber(std::string_view digits) {
  std::uint64_t value = 0;
  constexpr std::uint64_t kLargest = std::numeric_limits<std::int64_t>::max();
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    const auto digit = static_cast<std::uint64_t>(c - '0');
    value = value > (kLargest - digit) / 10 ? kLargest : value * 10 + digit;
  }
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

}  // namespace

// A v2-only torrent of one file is named after that file; otherwise the name
// comes from the info dictionary. A torrent of several files whose name
// sanitises to nothing is named by its SHA-1 digits.
std::optional<std::string> TorrentName(const TTorrentFacts& facts, std::string_view sha1Hex) {
  if (!facts.Name) return std::nullopt;
  bool multiFile = facts.HasFileList;
  if (facts.HasV2Identity() && !multiFile && !facts.HasLength) {
    if (const auto& key = facts.SingleTreeFile) {
      if (!key->empty() && key->find_first_not_of('/') == std::string::npos) return "_";
      std::string name = SanitizedPathElement(*key);
      if (name.empty()) return std::nullopt;
      return name;
    }
    multiFile = true;
  }
  if (facts.Name->empty()) return multiFile ? std::optional<std::string>("_") : std::nullopt;
  std::string name = SanitizedPathElement(*facts.Name);
  if (!name.empty()) return name;
  return multiFile ? std::optional<std::string>(LowerCaseHex(sha1Hex)) : std::nullopt;
}

namespace {

std::vector<std::string> Trackers(const TTorrentFacts& facts) {
  std::vector<std::string> trackers;
  for (const std::vector<std::string>& tier : facts.AnnounceList) {
    for (const std::string& url : tier) {
      std::string tracker = LeftTrimmed(url);
      if (!tracker.empty()) trackers.push_back(std::move(tracker));
    }
  }
  // "announce" counts only where "announce-list" gives no tracker at all.
  if (trackers.empty() && facts.Announce) {
    std::string tracker = LeftTrimmed(*facts.Announce);
    if (!tracker.empty()) trackers.push_back(std::move(tracker));
  }
  return trackers;
}

// The number of files libtorrent lists: a v2-only torrent's list holds a pad
// file after each file that does not end on a piece boundary, the last one
// included.
std::int64_t ListedFileCount(const TTorrentFacts& facts) {
  if (facts.HasFileList) return facts.FileListCount;
  if (!facts.HasV2Identity() || facts.HasLength) return 1;
  const std::int64_t pieceLength = facts.PieceLength.value_or(0);
  std::int64_t count = 0;
  for (const std::int64_t length : facts.TreeFileLengths) {
    count += pieceLength > 0 && length % pieceLength != 0 ? 2 : 1;
  }
  return count;
}

// The web seeds, each once: a torrent of several listed files gets a "/" at
// the end of each, where there is none.
std::vector<std::string> WebSeeds(const TTorrentFacts& facts) {
  const bool folder = ListedFileCount(facts) > 1;
  std::vector<std::string> seeds;
  std::unordered_set<std::string> seen;
  for (const std::string& url : facts.UrlList) {
    if (url.empty()) continue;
    std::string seed = WebSeedUrl(url);
    if (folder && (seed.empty() || seed.back() != '/')) seed += '/';
    if (seen.insert(seed).second) seeds.push_back(std::move(seed));
  }
  return seeds;
}

}  // namespace

std::string LowerCaseHex(std::string_view hex) {
  std::string lower(hex);
  // Without a branch: digits and letters come in no order one could predict.
  for (char& c : lower) {
    const bool upper = static_cast<unsigned char>(c - 'A') < 6;
    c = static_cast<char>(c + (upper ? 'a' - 'A' : 0));
  }
  return lower;
}

std::string EscapeForMagnet(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  AppendEscaped(out, bytes, IsUnreserved);
  return out;
}

std::string SanitizedPathElement(std::string_view raw) {
  std::size_t stop = 0;
  std::string out = SanitizedCharacters(raw, kMaxElementBytes, stop);
  if (stop < raw.size()) {
    const std::size_t dot = raw.rfind('.');
    if (dot != std::string_view::npos && dot >= stop && raw.size() - dot <= kMaxKeptExtension) {
      std::size_t ignored = 0;
      out += SanitizedCharacters(raw.substr(dot), 0, ignored);
    }
  }
  if (out == "." || out == "..") out.clear();
  return out;
}

std::string WebSeedUrl(std::string_view url) {
  const std::string trimmed = LeftTrimmed(url);
  const std::string_view text = trimmed;
  const std::size_t schemeEnd = text.find("://");
  if (schemeEnd == std::string_view::npos) return std::string(url);
  const std::string_view rest = text.substr(schemeEnd + 3);
  const std::size_t pathStart = std::min(rest.find_first_of("/?#"), rest.size());
  const std::string_view authority = rest.substr(0, pathStart);
  const std::string_view path = rest.substr(pathStart);
  const std::size_t at = authority.find('@');
  const std::string_view user = at == std::string_view::npos ? "" : authority.substr(0, at + 1);
  std::string_view hostPort = at == std::string_view::npos ? authority : authority.substr(at + 1);

  std::string_view host = hostPort;
  std::string_view afterHost;
  if (hostPort.starts_with('[')) {
    const std::size_t close = hostPort.find(']');
    if (close == std::string_view::npos) return std::string(url);
    host = hostPort.substr(1, close - 1);
    afterHost = hostPort.substr(close + 1);
  } else {
    host = hostPort.substr(0, hostPort.find(':'));
    afterHost = hostPort.substr(host.size());
  }
  std::optional<std::int32_t> port = -1;
  if (const std::size_t colon = afterHost.find(':'); colon != std::string_view::npos) {
    port = PortNumber(afterHost.substr(colon + 1));
  }
  if (!port) return std::string(url);
  bool plain = true;
  for (const char c : path) plain = plain && NeedsNoEscaping(static_cast<unsigned char>(c));
  if (plain) return std::string(url);

  std::string out = std::string(text.substr(0, schemeEnd)) + "://";
  out.append(user).append(host);
  if (*port != -1) out.append(":").append(std::to_string(*port));
  if (!path.starts_with('/')) out += '/';
  AppendEscaped(out, path, IsPathByte);
  return out;
}

std::string MagnetLink(const TTorrentFacts& facts, std::string_view sha1Hex,
                       std::string_view sha256Hex) {
  std::vector<std::string> parts;
  if (facts.HasV1Identity()) parts.push_back("xt=urn:btih:" + LowerCaseHex(sha1Hex));
  if (facts.HasV2Identity()) parts.push_back("xt=urn:btmh:1220" + LowerCaseHex(sha256Hex));
  if (const auto name = TorrentName(facts, sha1Hex))
    parts.push_back("dn=" + EscapeForMagnet(*name));
  for (const std::string& tracker : Trackers(facts))
    parts.push_back("tr=" + EscapeForMagnet(tracker));
  for (const std::string& seed : WebSeeds(facts)) parts.push_back("ws=" + EscapeForMagnet(seed));
  std::string link(kMagnetLinkStart);
  for (std::size_t i = 0; i < parts.size(); ++i) link.append(i == 0 ? "" : "&").append(parts[i]);
  return link;
}

}  // namespace kelvane
