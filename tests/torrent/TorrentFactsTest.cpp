#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bencode/InfoScan.h"
#include "torrent/TorrentFacts.h"

namespace kelvane {
namespace {

using Texts = std::vector<std::string>;

// The facts of a file held in memory, from a scan made with keys.
TTorrentFacts FactsOf(const std::string& file, const TScanKeys& keys = kTorrentFactKeys) {
  TInfoScanner scanner(file);
  return ReadTorrentFacts(keys, scanner.Scan(keys), [&](const TScannedValue& value) {
    return file.substr(static_cast<std::size_t>(value.Offset),
                       static_cast<std::size_t>(value.Length));
  });
}

TEST(TorrentFactsTest, TakesEachEntryWholeAndOnlyInTheTypeItMustHave) {
  const std::string hybrid =
      "d8:announce3:a/013:announce-listll3:t/13:t/2i5ee3:t/3l0:ee4:infod5:filesli1e1:xe6:lengthi0e"
      "12:meta versioni2e4:name1:n10:name.utf-81:u12:piece lengthi16384ee8:url-listl2:w1i7el2:w2e"
      "2:w3ee";
  TTorrentFacts facts = FactsOf(hybrid);
  EXPECT_TRUE(facts.MetaVersion == 2 && facts.HasFileList && facts.HasLength && !facts.HasFileTree);
  EXPECT_TRUE(facts.FileListCount == 2 && facts.PieceLength == 16384 && facts.Name == "u");
  EXPECT_EQ(facts.AnnounceList, (std::vector<Texts>{{"t/1", "t/2"}, {""}}));
  EXPECT_EQ(facts.Announce, "a/0");
  EXPECT_EQ(facts.UrlList, (Texts{"w1", "w3"}));

  // The last of two entries counts, as in the decoder's tree; a string's length ends at any byte.
  facts = FactsOf(
      "d8:announcei1e4:infod12:meta version1:210:name.utf-8i1e4:name1:n4:name2xmn12:piece "
      "length1:1e8:url-list2:w1e");
  EXPECT_TRUE(!facts.MetaVersion && !facts.PieceLength && !facts.Announce && facts.Name == "mn");
  EXPECT_EQ(facts.UrlList, Texts{"w1"});

  facts = FactsOf("d13:announce-list3:t/14:infoi1e8:url-listi1ee");
  EXPECT_TRUE(facts.AnnounceList.empty() && facts.UrlList.empty() && !facts.Name);
  // Only what the scan was asked for, and the files counted only for web seeds.
  facts = FactsOf(hybrid, {{}, {"meta version"}});
  EXPECT_TRUE(facts.MetaVersion == 2 && !facts.HasFileList && !facts.Name && !facts.Announce);
  EXPECT_EQ(FactsOf("d4:infod5:filesli1e1:xeee").FileListCount, 0);
  // A string too long for the decoder to hold in a list is read back whole.
  const std::string url = "http://t/" + std::string(1 << 21, 'x');
  const std::string text = std::to_string(url.size()) + ":" + url;
  facts = FactsOf("d8:announce" + text + "13:announce-listll" + text + "ee4:infod4:name1:nee");
  EXPECT_TRUE(facts.Announce == url && facts.AnnounceList == std::vector<Texts>{{url}});
}

// Files are the dictionaries holding the empty key, at any depth, whatever else they hold; a
// folder that holds one file is not a file. The decoder's own record of a key "info" is no key.
TEST(TorrentFactsTest, FindsEveryFileOfAV2OnlyTreeAndASingleOne) {
  const std::string file5 = "d0:d6:lengthi5eee", file3 = "d0:d6:lengthi3eee";
  const std::vector<std::tuple<std::string, std::vector<std::int64_t>, std::optional<std::string>>>
      rows = {
          {"1:a" + file5, {5}, "a"},
          {"4:info" + file5, {5}, "info"},
          {"0:d6:lengthi5ee", {5}, std::nullopt},
          {"1:dd1:f" + file5 + "e", {5}, std::nullopt},
          {"1:a" + file5 + "1:bd1:c" + file3 + "1:edee", {5, 3}, std::nullopt},
          {"1:ad0:d6:lengthi5ee1:x" + file3 + "e", {5, 3}, "a"},
          {"1:ad0:d6:length1:5ee", {0}, "a"},
      };
  for (const auto& [tree, lengths, single] : rows) {
    const std::string info = "d9:file treed" + tree + "e12:meta versioni2e";
    const TTorrentFacts facts = FactsOf("d4:info" + info + "ee");
    EXPECT_TRUE(facts.TreeFileLengths == lengths && facts.SingleTreeFile == single) << tree;
    EXPECT_TRUE(FactsOf("d4:info" + info + "6:lengthi1eee").TreeFileLengths.empty()) << tree;
  }
}

}  // namespace
}  // namespace kelvane
