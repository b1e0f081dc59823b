#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "torrent/MagnetLink.h"
#include "torrent/TorrentFacts.h"

// The link table's rows name only the facts they set; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace kelvane {
namespace {

using namespace std::string_literals;
using Rows = std::pair<std::string, std::string>[];

// Each rule below was read from what libtorrent 2.0.8 gave for such input in a magnet link; the
// cross-check holds many more names, URLs and files against libtorrent.

TEST(MagnetLinkTest, EscapesAllButTheUnreservedBytesInLowerCase) {
  const std::string unreserved =
      "!()*-.0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz~";
  for (int byte = 0; byte < 256; ++byte) {
    const std::string one(1, static_cast<char>(byte));
    char escaped[4];
    std::snprintf(escaped, sizeof escaped, "%%%02x", byte);
    EXPECT_EQ(EscapeForMagnet(one), unreserved.find(one) != std::string::npos ? one : escaped);
  }
}

// Ports that overflow, an empty one, an unclosed bracket: rules the cross-check's URLs do not
// reach.
TEST(MagnetLinkTest, EscapesAWebSeedsPathOnlyWhereItNeedsIt) {
  // clang-format off
  const Rows rows = {
      {" \t http://u:p@h:0080/a%41?x=1&y 2", "http://u:p@h:80/a%2541%3fx%3d1%26y%202"},
      {"http://h:4294967376/a b", "http://h:80/a%20b"}, {"http://h:/a b", "http://h:0/a%20b"},
      {"http://h:99999999999999999999/a b", "http://h/a%20b"},
      {"http://[::1/a b", "http://[::1/a b"},
      {"http://h#f g", "http://h/%23f%20g"}};
  // clang-format on
  for (const auto& [url, kept] : rows) EXPECT_EQ(WebSeedUrl(url), kept) << url;
}

// The identities the link carries, its name or the name's fallbacks, its trackers and web seeds.
TEST(MagnetLinkTest, BuildsTheLinkFromTheTorrentsFacts) {
  const std::string a40(40, 'a'), v1 = "magnet:?xt=urn:btih:" + a40;
  const std::string v2 = "magnet:?xt=urn:btmh:1220" + std::string(64, 'b');
  const std::string hybrid = v1 + "&" + v2.substr(8);
  const std::string announce = " \t\nhttp://x/ \t";
  const std::vector<std::string> seeds = {"http://w/a", "", "http://w/a"};
  const std::string ws = "&ws=http%3a%2f%2fw%2fa", slash = ws + "%2f";
  const std::int64_t piece = 16384;
  const std::string x200(200, 'x'), x240(240, 'x'), x300(300, 'x');
  // clang-format off
  const std::pair<TTorrentFacts, std::string> rows[] = {
      // "meta version" is read in 32 bits; a v2-only torrent has no v1 identity.
      {{.HasLength = true, .Name = "a"}, v1 + "&dn=a"},
      {{.MetaVersion = 2 + (1LL << 32), .HasLength = true, .Name = "a"}, hybrid + "&dn=a"},
      {{.MetaVersion = 3, .HasLength = true, .Name = "a"}, v1 + "&dn=a"},
      {{.MetaVersion = 2, .HasFileList = true, .Name = "n"}, hybrid + "&dn=n"},
      // A v2-only torrent of one file bears its name; one of several, the torrent's.
      {{.MetaVersion = 2, .Name = "n", .SingleTreeFile = "x/y"}, v2 + "&dn=xy"},
      {{.MetaVersion = 2, .Name = "n", .SingleTreeFile = "//"}, v2 + "&dn=_"},
      {{.MetaVersion = 2, .Name = "n", .SingleTreeFile = ".."}, v2},
      {{.MetaVersion = 2, .Name = "n"}, v2 + "&dn=n"},
      {{.MetaVersion = 2, .Name = "/"}, v2 + "&dn=" + a40},
      {{.MetaVersion = 2, .HasLength = true, .Name = "a b", .SingleTreeFile = "f"},
       hybrid + "&dn=a%20b"},
      // Separators, NUL and bidirectional marks dropped; controls and malformed UTF-8 made "_";
      // cut after 240 bytes save a short extension, a "_" never ending the run.
      {{.HasLength = true, .Name = "a/../b\\c\x01\u202E" "d\0e\xFF" "f\xED\xA0\x80"s},
       v1 + "&dn=a..bc_de_f_"},
      {{.HasLength = true, .Name = x300 + ".txt"}, v1 + "&dn=" + x240 + ".txt"},
      {{.HasLength = true, .Name = x300 + ".abcdefghi"}, v1 + "&dn=" + x240},
      {{.HasLength = true, .Name = x200 + std::string(50, '\xFF') + "yy"},
       v1 + "&dn=" + x200 + std::string(50, '_') + "y"},
      // A name that comes to nothing: no name for one file, "_" or the SHA-1 digits for several.
      {{.HasLength = true, .Name = "."}, v1},
      {{.HasFileList = true, .Name = ".."}, v1 + "&dn=" + a40},
      {{.HasFileList = true, .Name = ""}, v1 + "&dn=_"},
      // Trackers: "announce" only where "announce-list" gives none.
      {{.Announce = announce}, v1 + "&tr=http%3a%2f%2fx%2f%20%09"},
      {{.AnnounceList = {{"", "  "}, {}}, .Announce = announce},
       v1 + "&tr=http%3a%2f%2fx%2f%20%09"},
      {{.AnnounceList = {{"http://a/", "http://a/"}, {"\vhttp://b/p q%20\xC3\xA9"}},
        .Announce = announce},
       v1 + "&tr=http%3a%2f%2fa%2f&tr=http%3a%2f%2fa%2f&tr=http%3a%2f%2fb%2fp%20q%2520%c3%a9"},
      // Web seeds end in "/" where several files are listed; a v2-only torrent lists a pad file
      // after each file that ends inside a piece.
      {{.HasFileList = true, .FileListCount = 1, .UrlList = seeds}, v1 + ws},
      {{.HasFileList = true, .FileListCount = 2, .UrlList = seeds}, v1 + slash},
      {{.MetaVersion = 2, .PieceLength = piece, .TreeFileLengths = {1}, .UrlList = seeds},
       v2 + slash},
      {{.MetaVersion = 2, .PieceLength = piece, .TreeFileLengths = {0}, .UrlList = seeds}, v2 + ws},
      {{.MetaVersion = 2, .HasLength = true, .PieceLength = piece, .TreeFileLengths = {1},
        .UrlList = seeds}, hybrid + ws},
      // The same seed twice once rewritten, or once given its slash, is kept once.
      {{.HasFileList = true, .FileListCount = 2,
        .UrlList = {"http://w", "http://w/", "http://w/a b", "http://w/a%20b/"}},
       v1 + "&ws=http%3a%2f%2fw%2f&ws=http%3a%2f%2fw%2fa%2520b%2f"}};
  // clang-format on
  for (const auto& [facts, link] : rows)
    EXPECT_EQ(MagnetLink(facts, std::string(40, 'A'), std::string(64, 'B')), link) << link;
}

}  // namespace
}  // namespace kelvane
