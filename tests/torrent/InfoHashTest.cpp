#include <gtest/gtest.h>

#include <string>

#include "base/Exceptions.h"
#include "base/Stream.h"
#include "digest/SHA.h"
#include "torrent/InfoHash.h"

namespace kelvane {
namespace {

using namespace std::string_literals;

// Digests computed once with Python's hashlib over the bytes named.
constexpr char k4i[] = "186D1F9E925D26160CF22F159BA3867DF57BB1C0";   // "4:i"

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return text;
}

// A stream that claims a size of its own.
struct TClaimingStream : TMemoryStream {
  TClaimingStream(const std::string& bytes, std::int64_t claimed)
      : TMemoryStream(bytes), Claimed(claimed) {}
  std::int64_t Size() override { return Claimed; }
  std::int64_t Claimed;
};

// A stream that claims more bytes than it delivers, as a file cut after its size was taken does: a
// range that runs into the bytes that never come is an error, not the digest of those that did.
TEST(InfoHashTest, ARangeThatCannotBeReadWholeIsAnError) {
  TClaimingStream whole("d4:infoi1e11:_info_starti1e12:_info_lengthi3ee", 1000);
  EXPECT_EQ(GetInfoHashOfStream(whole), k4i);
  TClaimingStream cut("d4:infoi1e11:_info_starti1e12:_info_lengthi50ee", 1000);
  EXPECT_THROW(GetInfoHashOfStream(cut), EReadError);
}

// Files libtorrent refuses to load still get a link by the same rules, from the facts as the file
// states them: no piece length (no pad files, and no division by it), an overlong UTF-8 name, and
// lengths that are no integers (info "length" of any type makes a hybrid; a tree file's counts 0).
TEST(InfoHashTest, FilesLibtorrentRefusesGetALinkByTheSameRules) {
  const std::string root = "11:pieces root32:" + std::string(32, 'r');
  const std::string tree = "9:file treed1:fd0:d6:lengthi1e" + root + "eee";
  const std::string seeds = "8:url-listl8:http://w8:http://vee";
  const std::string rows[][2] = {
      {"12:meta versioni2e4:name1:n", "&dn=f&ws=http%3a%2f%2fw&ws=http%3a%2f%2fv"},
      {"12:meta versioni2e4:name1:n12:piece lengthi-16e",
       "&dn=f&ws=http%3a%2f%2fw&ws=http%3a%2f%2fv"},
      {"12:meta versioni2e4:name1:n12:piece lengthi16384e",
       "&dn=f&ws=http%3a%2f%2fw%2f&ws=http%3a%2f%2fv%2f"},
      {"12:meta versioni2e4:name1:n12:piece lengthi16384e9:file treed1:fd0:d6:length1:x" + root +
           "eee",
       "&dn=f&ws=http%3a%2f%2fw&ws=http%3a%2f%2fv"},
      {"6:length1:x12:meta versioni2e4:name4:a\xC0\xAF" "b", "&dn=a_b&ws=http%3a%2f%2fw&ws=http%3a%2f%2fv"},
      {"6:lengthi1e12:meta versioni2e4:name4:a\xE0\x83\xA9", "&dn=a_&ws=http%3a%2f%2fw&ws=http%3a%2f%2fv"}};
  for (const auto& [entries, rest] : rows) {
    const std::string info = "d" + tree + entries + "e";
    TMemoryStream stream("d4:info" + info + seeds + "e");
    const std::string sha1 = Lower(SHA1DigestHex(info)), sha256 = Lower(SHA256DigestHex(info));
    const bool hybrid = entries.starts_with("6:length");
    EXPECT_EQ(GetInfoHashOfStream(stream, TLineContent::MagnetLink),
              "magnet:?" + (hybrid ? "xt=urn:btih:" + sha1 + "&" : ""s) + "xt=urn:btmh:1220" +
                  sha256 + rest)
        << entries;
  }
}

}  // namespace
}  // namespace kelvane
