#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kelvane
