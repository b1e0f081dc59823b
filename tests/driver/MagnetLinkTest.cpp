#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "driver/MagnetLink.h"
#include "driver/TorrentFacts.h"

namespace kelvane {
namespace {

using namespace std::string_literals;
using Rows = std::pair<std::string, std::string>[];

// Every expected value below is what libtorrent 2.0.8 gave for the same input, in a magnet link.

TEST(MagnetLinkTest, EscapesAllButTheUnreservedBytesInLowerCase) {
  std::string all;
  for (int byte = 0; byte < 256; ++byte) all += static_cast<char>(byte);
  EXPECT_EQ(EscapeForMagnet("a'b(c)!~*-_. +%/:\xC3\xA9\0\xFF"s),
            "a%27b(c)!~*-_.%20%2b%25%2f%3a%c3%a9%00%ff");
  const std::string escaped = EscapeForMagnet(all);
  std::string plain;
  for (std::size_t i = 0; i < escaped.size(); ++i) {
    if (escaped[i] == '%') {
      i += 2;
    } else {
      plain += escaped[i];
    }
  }
  EXPECT_EQ(plain, "!()*-.0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz~");
  EXPECT_EQ(escaped.size(), plain.size() + 3 * (256 - plain.size()));
}

TEST(MagnetLinkTest, SanitisesANameAsLibtorrentKeepsIt) {
  const std::string x240(240, 'x'), x239(239, 'x');
  // clang-format off
  const Rows rows = {
      {"a b", "a b"}, {"a/b", "ab"}, {"a\\b", "ab"}, {"/a", "a"}, {"a/../b", "a..b"},
      {"../a", "..a"}, {"...", "..."}, {".", ""}, {"..", ""}, {"./.", ""}, {"/", ""},
      {"  x  ", "  x  "}, {"a\x01" "b", "a_b"}, {"a\nb", "a_b"}, {"a\0b"s, "ab"},
      {"a\u202E\u200E\u200F\u202A" "b", "ab"},
      {"\u2066\x7F\u0080\uFEFF", "\u2066\x7F\u0080\uFEFF"},
      {"\xFF", "_"}, {"a\xC3", "a_"}, {"a\xC3" "b", "a_"}, {"a\xE0" "b", "a_"},
      {"a\u00E9" "b", "a\u00E9" "b"}, {"a\xED\xA0\x80" "b", "a_b"}, {"a\xC0\xAF" "b", "a_b"},
      {"a\xF8\x88\x80\x80\x80" "b", "a_b"},
      {std::string(250, 'x'), x240}, {std::string(300, 'x') + ".txt", x240 + ".txt"},
      {x239 + ".txt", x239 + "."}, {std::string(300, 'x') + ".abcdefghi", x240},
      {std::string(300, 'x') + ".a\x01" "c", x240 + ".a_c"},
      {x239 + "\u65E5.txt", x239 + "\u65E5.txt"},
      {std::string(200, 'x') + std::string(50, '\xFF') + std::string(100, 'y'),
       std::string(200, 'x') + std::string(50, '_') + "y"},
      {std::string(300, '\xFF'), std::string(300, '_')},
  };
  // clang-format on
  for (const auto& [raw, kept] : rows) {
    EXPECT_EQ(SanitizedPathElement(raw), kept) << raw.substr(0, 20);
  }
  std::string accents = "a";
  for (int i = 0; i < 200; ++i) accents += "\u00E9";
  EXPECT_EQ(SanitizedPathElement(accents), accents.substr(0, 241));
}

TEST(MagnetLinkTest, EscapesAWebSeedsPathOnlyWhereItNeedsIt) {
  const Rows rows = {
      {"http://w/f", "http://w/f"},
      {"http://w/p q", "http://w/p%20q"},
      {"http://w/p%20q", "http://w/p%20q"},
      {"http://w/\xC3\xA9", "http://w/%c3%a9"},
      {"http://w/a%41?x=1&y 2", "http://w/a%2541%3fx%3d1%26y%202"},
      {"http://w/a%41?x=1&y=2", "http://w/a%41?x=1&y=2"},
      {"http://w?x y", "http://w/%3fx%20y"},
      {"http://h#f g", "http://h/%23f%20g"},
      {"http://w:0080/a b", "http://w:80/a%20b"},
      {"http://h:/a b", "http://h:0/a%20b"},
      {"http://h:4294967376/a b", "http://h:80/a%20b"},
      {"http://h:99999999999999999999/a b", "http://h/a%20b"},
      {"http://u:p@h:0080/x y", "http://u:p@h:80/x%20y"},
      {"http://[::1]:8080/a b", "http://::1:8080/a%20b"},
      {"http://[::1]:8080/ab", "http://[::1]:8080/ab"},
      {"http://[::1/a b", "http://[::1/a b"},
      {"http://h:abc/ z", "http://h:abc/ z"},
      {"http://h:-1/a b", "http://h:-1/a b"},
      {"not a url", "not a url"},
      {" http://w/f", " http://w/f"},
      {" \t http://w/f g", "http://w/f%20g"},
      {"HTTP://H/X Y", "HTTP://H/X%20Y"},
      {"://x y", "://x y"},
  };
  for (const auto& [url, kept] : rows) EXPECT_EQ(WebSeedUrl(url), kept) << url;
}

const std::string kSha1(40, 'A');
const std::string kSha256(64, 'B');
const std::string kBtih = "xt=urn:btih:" + std::string(40, 'a');
const std::string kBtmh = "xt=urn:btmh:1220" + std::string(64, 'b');

TTorrentFacts SingleFile(std::string name) {
  TTorrentFacts facts;
  facts.Name = std::move(name);
  facts.HasLength = true;
  facts.PieceLength = 16384;
  return facts;
}

// A v2-only torrent whose tree holds files of these lengths, under one top key or several.
TTorrentFacts V2Only(std::vector<std::int64_t> lengths, std::optional<std::string> single) {
  TTorrentFacts facts;
  facts.Name = "n";
  facts.MetaVersion = 2;
  facts.HasFileTree = true;
  facts.PieceLength = 16384;
  facts.TreeFileLengths = std::move(lengths);
  facts.SingleTreeFile = std::move(single);
  return facts;
}

TEST(MagnetLinkTest, CarriesEachIdentityTheTorrentHas) {
  TTorrentFacts facts = SingleFile("a");
  EXPECT_EQ(MagnetLink(facts, kSha1, kSha256), "magnet:?" + kBtih + "&dn=a");
  facts.MetaVersion = 2 + (1LL << 32);  // read as 32 bits, as libtorrent reads it
  EXPECT_EQ(MagnetLink(facts, kSha1, kSha256), "magnet:?" + kBtih + "&" + kBtmh + "&dn=a");
  facts.MetaVersion = 3;
  EXPECT_EQ(MagnetLink(facts, kSha1, kSha256), "magnet:?" + kBtih + "&dn=a");
  facts = V2Only({1}, "f");
  EXPECT_EQ(MagnetLink(facts, kSha1, kSha256), "magnet:?" + kBtmh + "&dn=f");
  facts.HasFileList = true;
  EXPECT_EQ(MagnetLink(facts, kSha1, kSha256), "magnet:?" + kBtih + "&" + kBtmh + "&dn=n");
}

TEST(MagnetLinkTest, NamesTheTorrentOrFallsBack) {
  const std::string sha1Name = "&dn=" + std::string(40, 'a');
  TTorrentFacts multi = SingleFile("..");
  multi.HasLength = false;
  multi.HasFileList = true;
  const std::pair<TTorrentFacts, std::string> rows[] = {
      {SingleFile(".."), ""},
      {SingleFile(""), ""},
      {multi, sha1Name},
      {[&] {
         auto f = multi;
         f.Name = "";
         return f;
       }(),
       "&dn=_"},
      {[&] {
         auto f = multi;
         f.Name.reset();
         return f;
       }(),
       ""},
      {V2Only({1}, "x/y"), "&dn=xy"},
      {V2Only({1}, "//"), "&dn=_"},
      {V2Only({1}, ".."), ""},
      {V2Only({1, 1}, std::nullopt), "&dn=n"},
      {[] {
         auto f = V2Only({1, 1}, std::nullopt);
         f.Name = "/";
         return f;
       }(),
       sha1Name},
      {[] {
         auto f = V2Only({1}, "f");
         f.HasLength = true;
         f.Name = "a b";
         return f;
       }(),
       "&dn=a%20b"},
  };
  for (const auto& [facts, name] : rows) {
    const std::string link = MagnetLink(facts, kSha1, kSha256);
    EXPECT_EQ(link.substr(link.find("&dn=") == std::string::npos ? link.size() : link.find("&dn=")),
              name)
        << link;
  }
}

TEST(MagnetLinkTest, TakesTrackersFromTheAnnounceListBeforeAnnounce) {
  TTorrentFacts facts = SingleFile("a");
  facts.Announce = " \t\nhttp://x/ \t";
  EXPECT_EQ(MagnetLink(facts, kSha1, ""), "magnet:?" + kBtih + "&dn=a&tr=http%3a%2f%2fx%2f%20%09");
  facts.AnnounceList = {{"", "  "}, {}};
  EXPECT_EQ(MagnetLink(facts, kSha1, ""), "magnet:?" + kBtih + "&dn=a&tr=http%3a%2f%2fx%2f%20%09");
  facts.AnnounceList = {{"http://a/", "http://a/"}, {"\vhttp://b/p q%20\xC3\xA9"}};
  EXPECT_EQ(
      MagnetLink(facts, kSha1, ""),
      "magnet:?" + kBtih +
          "&dn=a&tr=http%3a%2f%2fa%2f&tr=http%3a%2f%2fa%2f&tr=http%3a%2f%2fb%2fp%20q%2520%c3%a9");
}

TEST(MagnetLinkTest, EndsWebSeedsInASlashWhenLibtorrentListsSeveralFiles) {
  const std::string w = "&ws=http%3a%2f%2fw%2fa", slash = w + "%2f";
  auto seeds = [](TTorrentFacts facts) {
    facts.UrlList = {"http://w/a", "", "http://w/a"};
    const std::string link = MagnetLink(facts, kSha1, kSha256);
    return link.substr(link.find("&ws="));
  };
  TTorrentFacts files = SingleFile("a");
  files.HasLength = false;
  files.HasFileList = true;
  files.FileListCount = 1;
  EXPECT_EQ(seeds(files), w);
  files.FileListCount = 2;
  EXPECT_EQ(seeds(files), slash);
  EXPECT_EQ(seeds(SingleFile("a")), w);
  // A v2-only torrent counts a pad file after each file that ends inside a piece.
  EXPECT_EQ(seeds(V2Only({1}, "a")), slash);
  EXPECT_EQ(seeds(V2Only({16384}, "a")), w);
  EXPECT_EQ(seeds(V2Only({16384}, std::nullopt)), w);
  EXPECT_EQ(seeds(V2Only({0}, "a")), w);
  TTorrentFacts hybrid = V2Only({1}, "a");
  hybrid.HasLength = true;
  EXPECT_EQ(seeds(hybrid), w);
  // The same seed twice once rewritten, or once given its slash, is kept once.
  files.UrlList = {"http://w", "http://w/", "http://w/a b", "http://w/a%20b/"};
  EXPECT_EQ(MagnetLink(files, kSha1, ""),
            "magnet:?" + kBtih + "&dn=a&ws=http%3a%2f%2fw%2f&ws=http%3a%2f%2fw%2fa%2520b%2f");
}

}  // namespace
}  // namespace kelvane
