#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "bencode/InfoScan.h"

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

// The keys of the root and of its info dictionary that the facts come from.
extern const TScanKeys kTorrentFactKeys;

// The bytes a scanned value took in the stream, from its Offset on, Length
// of them.
using TValueBytes = std::function<std::string(const TScannedValue&)>;

// The facts of a scan made with keys, any of kTorrentFactKeys (the facts of
// the others stay at their defaults), each value read from its bytes as the
// decoder reads it. What only a link's web seeds and names read is gathered
// only where they read it, so that a run over many files pays for no more:
// FileListCount where "url-list" holds a string, TreeFileLengths and
// SingleTreeFile for a torrent with a v2 identity and neither "files" nor
// "length". Raises what bytesOf raises, and EOutOfMemory.
TTorrentFacts ReadTorrentFacts(const TScanKeys& keys, const TInfoScan& scan,
                               const TValueBytes& bytesOf);

}  // namespace kelvane
