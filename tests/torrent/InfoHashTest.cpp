#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

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

// A stream of no known size, as a pipe is: it delivers a few bytes a read, and cannot seek.
struct TPipeStream : TMemoryStream {
  explicit TPipeStream(const std::string& bytes) : TMemoryStream(bytes) {}
  std::size_t Read(void* buffer, std::size_t count) override {
    return TMemoryStream::Read(buffer, std::min<std::size_t>(count, 65536));
  }
  std::int64_t Size() override { return -1; }
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override {
    const std::int64_t at = origin == TSeekOrigin::Beginning ? offset : Position() + offset;
    if (at != Position()) Sought = true;
    return at;
  }
  bool Sought = false;
};

// A file larger than the window is scanned through one buffer, its pieces (3,000,000 bytes)
// passed over; a stream of no known size with the same bytes gets the same lines in one pass,
// both digests of a hybrid's link included, and is never sought. Cut inside its info value, or
// empty, it gets the lines a file gets.
TEST(InfoHashTest, AStreamOfNoKnownSizeGetsTheLinesOfAFile) {
  const std::string info =
      "d9:file treed1:ad0:d6:lengthi1e11:pieces root32:" + std::string(32, '\x11') +
      "eee6:lengthi1e12:meta versioni2e4:name1:a12:piece lengthi16384e"
      "6:pieces3000000:" +
      std::string(3000000, '\x22') + "e";
  const std::string file = "d8:announce9:http://t/4:info" + info + "8:url-list9:http://w/e";
  const std::string sha1 = SHA1DigestHex(info), sha256 = SHA256DigestHex(info);
  const std::string link = "magnet:?xt=urn:btih:" + Lower(sha1) + "&xt=urn:btmh:1220" +
                           Lower(sha256) + "&dn=a&tr=http%3a%2f%2ft%2f&ws=http%3a%2f%2fw%2f";
  ASSERT_GT(file.size(), 2 * kWindow);
  const std::pair<TLineContent, std::string> rows[] = {
      {TLineContent::V1Digest, sha1}, {TLineContent::V2Digest, sha256},
      {TLineContent::MagnetLink, link}};
  for (const auto& [content, field] : rows) {
    TMemoryStream named(file);
    TPipeStream piped(file);
    EXPECT_EQ(GetInfoHashOfStream(named, content), field);
    EXPECT_EQ(GetInfoHashOfStream(piped, content), field);
    EXPECT_FALSE(piped.Sought);
  }
  TPipeStream empty(""), cut(file.substr(0, file.size() - 30));
  EXPECT_EQ(GetInfoHashOfStream(empty), "Error - Blank file!");
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
