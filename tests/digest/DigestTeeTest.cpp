#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <string>
#include <thread>

#include "digest/DigestTee.h"
#include "tests/digest/DigestTestSupport.h"

namespace kelvane {
namespace {

// Short and long pieces, the long ones fed on two threads, in the order given.
TEST(DigestTeeTest, EachDigestGetsTheWholeMessage) {
  const std::string message = testing::PatternBytes(700000);
  TSHA1Context sha1;
  TSHA256Context sha256;
  sha256.Update("x", 1);  // a digest may hold bytes of its own before
  TDigestTee tee({&sha1, &sha256});
  tee.Update(message.data(), 1234);
  tee.Update(message.data() + 1234, 300000);
  tee.Update(message.data() + 301234, 1);
  tee.Update(message.data() + 301235, message.size() - 301235);
  EXPECT_EQ(sha1.DigestHex(), SHA1DigestHex(message));
  EXPECT_EQ(sha256.DigestHex(), SHA256DigestHex("x" + message));
}

// Lent pieces of every size about the hand-over's threshold (128 KiB) and the window's (1 MiB),
// to one digest and to two: each buffer is overwritten as soon as kLentPieces more Lends have
// returned, as the scanner overwrites its windows, and Settle leaves every digest with the whole
// message.
TEST(DigestTeeTest, ALentPieceIsDigestedBeforeTheNextCallsReturn) {
  const std::size_t sizes[] = {1, 131071, 131072, 1 << 20, 131073, 300000, 1 << 20, 200000, 5};
  constexpr std::size_t kBuffers = TDigestTee::kLentPieces + 1;
  // The second thread feeds the SHA-1, and slowly: the lent pieces pile up as far as the tee
  // lets them.
  struct TSlowSha1 {
    TSlowSha1() : Fast(SHA1Kernels().Use(Slow)) {}
    ~TSlowSha1() { SHA1Kernels().Use(Fast); }
    static void Slow(std::uint32_t* state, const std::uint8_t* blocks, std::size_t count) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      SHA1CompressPortable(state, blocks, count);
    }
    TCompressFn Fast;
  } slow;
  std::array<std::string, kBuffers> buffers;
  for (const bool both : {false, true}) {
    std::string message;
    TSHA1Context sha1;
    TSHA256Context sha256;
    TDigestTee tee = both ? TDigestTee({&sha256, &sha1}) : TDigestTee({&sha1});
    for (std::size_t i = 0; i < std::size(sizes); ++i) {
      std::string& buffer = buffers[i % kBuffers];
      buffer = testing::PatternBytes(sizes[i] + i).substr(i);
      message += buffer;
      tee.Lend(buffer.data(), buffer.size());
      // The piece kLentPieces before this one is no longer read.
      std::string& before = buffers[(i + 1) % kBuffers];
      std::fill(before.begin(), before.end(), '\xff');
    }
    tee.Settle();
    EXPECT_EQ(sha1.DigestHex(), SHA1DigestHex(message)) << both;
    if (both) {
      EXPECT_EQ(sha256.DigestHex(), SHA256DigestHex(message));
    }
  }
}

}  // namespace
}  // namespace kelvane
