#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/Stream.h"
#include "bencode/Hashes.h"

namespace kelvane {

// What the v2 rules and a magnet link need to know of a torrent beyond its
// info bytes, as the metainfo states it. Entries that are missing or of
// another type leave their facts at the defaults. Gathered in one place
// (ReadTorrentFacts) so that the link is built from this alone.
struct TTorrentFacts {
  std::optional<std::int64_t> MetaVersion;  // info "meta version", an integer
  bool HasFileTree = false;                 // info "file tree" is a dictionary
  bool HasFileList = false;                 // info "files" is a list
  std::int64_t FileListCount = 0;           // its items, of any type
  bool HasLength = false;                   // info holds "length", of any type
  std::optional<std::int64_t> PieceLength;  // info "piece length", an integer
  // info "name.utf-8" when a byte string, else info "name" when one.
  std::optional<std::string> Name;
  // Every file of the file tree (a dictionary holding the empty key), its
  // "length" or 0 where that is no integer, in tree order.
  std::vector<std::int64_t> TreeFileLengths;
  // The key of the file tree's only entry, when that entry is a file.
  std::optional<std::string> SingleTreeFile;
  // The byte strings of each tier of "announce-list" that is a list.
  std::vector<std::vector<std::string>> AnnounceList;
  std::optional<std::string> Announce;  // "announce", a byte string
  // "url-list": the byte string, or the byte strings the list holds.
  std::vector<std::string> UrlList;

  // "meta version" is an integer whose low 32 bits, read as a signed number,
  // are 2 (libtorrent reads it so): the torrent has a v2 info hash.
  bool HasV2Identity() const;
  // No v2 identity, or v1 file data beside it ("files" or "length": a hybrid).
  bool HasV1Identity() const;
};

// The facts of a decoded root dictionary. A string the decoder left in the
// stream (see TIntString) is read back from it. Raises EReadError when such a
// string cannot be read whole.
TTorrentFacts ReadTorrentFacts(const TObjectHash& root, TStream& stream);

}  // namespace kelvane
