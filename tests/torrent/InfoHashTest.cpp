#include <gtest/gtest.h>

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

// A file too large to be read whole is scanned in windows, its pieces (3,000,000 bytes) stepped
// over unread, and its info range read again: both digests of a hybrid's link come from that read.
TEST(InfoHashTest, ScansALargeFileInWindowsAndReadsItsInfoRangeAgain) {
  const std::string info =
      "d9:file treed1:ad0:d6:lengthi1e11:pieces root32:" + std::string(32, '\x11') +
      "eee6:lengthi1e12:meta versioni2e4:name1:a12:piece lengthi16384e"
      "6:pieces3000000:" +
      std::string(3000000, '\x22') + "e";
  const std::string file = "d8:announce9:http://t/4:info" + info + "8:url-list9:http://w/e";
  const std::string sha1 = SHA1DigestHex(info), sha256 = SHA256DigestHex(info);
  TClaimingStream plain(file, kReadWholeLimit + 1), magnet(file, kReadWholeLimit + 1);
  EXPECT_EQ(GetInfoHashOfStream(plain), sha1);
  EXPECT_EQ(GetInfoHashOfStream(magnet, TLineContent::MagnetLink),
            "magnet:?xt=urn:btih:" + Lower(sha1) + "&xt=urn:btmh:1220" +
                Lower(sha256) + "&dn=a&tr=http%3a%2f%2ft%2f&ws=http%3a%2f%2fw%2f");
}

}  // namespace
}  // namespace kelvane
