#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "base/Stream.h"
#include "bencode/BDecode.h"
#include "driver/TorrentFacts.h"

namespace kelvane {
namespace {

using Texts = std::vector<std::string>;

struct TDecoded {
  explicit TDecoded(const std::string& bytes) : Stream(bytes), Root(DecodeStream(Stream)) {}
  TTorrentFacts Facts() { return ReadTorrentFacts(dynamic_cast<TObjectHash&>(*Root), Stream); }
  TMemoryStream Stream;
  std::unique_ptr<TObject> Root;
};

TEST(TorrentFactsTest, TakesEachEntryOnlyInTheTypeItMustHave) {
  TDecoded hybrid(
      "d8:announce3:a/013:announce-listll3:t/13:t/2i5ee3:t/3l0:ee4:infod5:filesli1e1:xe6:lengthi0e"
      "12:meta versioni2e4:name1:n10:name.utf-81:u12:piece lengthi16384ee8:url-listl2:w1i7el2:w2e"
      "2:w3ee");
  TTorrentFacts facts = hybrid.Facts();
  EXPECT_EQ(facts.MetaVersion, 2);
  EXPECT_TRUE(facts.HasFileList && facts.HasLength && !facts.HasFileTree);
  EXPECT_EQ(facts.FileListCount, 2);
  EXPECT_EQ(facts.PieceLength, 16384);
  EXPECT_EQ(facts.Name, "u");
  EXPECT_EQ(facts.AnnounceList, (std::vector<Texts>{{"t/1", "t/2"}, {""}}));
  EXPECT_EQ(facts.Announce, "a/0");
  EXPECT_EQ(facts.UrlList, (Texts{"w1", "w3"}));
  EXPECT_TRUE(facts.HasV2Identity() && facts.HasV1Identity());

  facts = TDecoded(
              "d8:announcei1e4:infod12:meta version1:210:name.utf-8i1e4:name1:n12:piece "
              "length1:1e8:url-list2:w1e")
              .Facts();
  EXPECT_FALSE(facts.MetaVersion || facts.PieceLength || facts.Announce);
  EXPECT_EQ(facts.Name, "n");
  EXPECT_EQ(facts.UrlList, Texts{"w1"});
  EXPECT_TRUE(!facts.HasV2Identity() && facts.HasV1Identity());

  facts = TDecoded("d13:announce-list3:t/14:infoi1e8:url-listi1ee").Facts();
  EXPECT_TRUE(facts.AnnounceList.empty() && facts.UrlList.empty() && !facts.Name);
}

TEST(TorrentFactsTest, ReadsTheMetaVersionIn32Bits) {
  for (const auto& [version, v2] : {std::pair{"2", true},
                                    {"4294967298", true},
                                    {"-2", false},
                                    {"3", false},
                                    {"4294967297", false}}) {
    const TTorrentFacts facts =
        TDecoded("d4:infod12:meta versioni" + std::string(version) + "eee").Facts();
    EXPECT_EQ(facts.HasV2Identity(), v2) << version;
    EXPECT_EQ(facts.HasV1Identity(), !v2) << version;
  }
}

// Files are the dictionaries holding the empty key, at any depth, whatever else they hold; a
// folder that holds one file is not a file.
TEST(TorrentFactsTest, FindsEveryFileOfTheTreeAndASingleOne) {
  const std::string file5 = "d0:d6:lengthi5eee", file3 = "d0:d6:lengthi3eee";
  const std::vector<std::tuple<std::string, std::vector<std::int64_t>, std::optional<std::string>>>
      rows = {
          {"1:a" + file5, {5}, "a"},
          {"0:" + file5, {0}, ""},
          {"0:d6:lengthi5ee", {5}, std::nullopt},
          {"1:dd1:f" + file5 + "e", {5}, std::nullopt},
          {"1:a" + file5 + "1:bd1:c" + file3 + "1:ede", {5, 3}, std::nullopt},
          {"1:ad0:d6:lengthi5ee1:x" + file3 + "e", {5, 3}, "a"},
          {"1:ad0:d6:length1:5ee", {0}, "a"},
          {"1:ad0:i5ee", {0}, "a"},
      };
  for (const auto& [tree, lengths, single] : rows) {
    const TTorrentFacts facts = TDecoded("d4:infod9:file treed" + tree + "eee").Facts();
    EXPECT_TRUE(facts.HasFileTree);
    EXPECT_EQ(facts.TreeFileLengths, lengths) << tree;
    EXPECT_EQ(facts.SingleTreeFile, single) << tree;
  }
}

// A string too long for the decoder to hold is read back whole; one that cannot be is an error.
TEST(TorrentFactsTest, ReadsBackLongStrings) {
  const std::string url = "http://t/" + std::string(1 << 21, 'x');
  const std::string file =
      "d8:announce" + std::to_string(url.size()) + ":" + url + "4:infod4:name1:nee";
  EXPECT_EQ(TDecoded(file).Facts().Announce, url);
  struct TShortStream : TMemoryStream {
    using TMemoryStream::TMemoryStream;
    std::size_t Read(void* buffer, std::size_t count) override {
      return Position() > 100 ? 0 : TMemoryStream::Read(buffer, count);
    }
  };
  TShortStream stream(file);
  const auto root = DecodeStream(stream);
  EXPECT_THROW(ReadTorrentFacts(dynamic_cast<TObjectHash&>(*root), stream), EReadError);
}

}  // namespace
}  // namespace kelvane
