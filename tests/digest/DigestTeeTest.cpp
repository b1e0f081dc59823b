#include <gtest/gtest.h>

#include "digest/DigestTee.h"
#include "tests/digest/DigestTestSupport.h"

namespace kelvane {
namespace {

TEST(DigestTeeTest, EachDigestGetsTheWholeMessage) {
  const std::string message = testing::PatternBytes(5000);
  TSHA1Context sha1;
  TSHA256Context sha256;
  sha256.Update("x", 1);  // a digest may hold bytes of its own before
  TDigestTee tee({&sha1, &sha256});
  tee.Update(message.data(), 1234);
  tee.Update(message.data() + 1234, message.size() - 1234);
  EXPECT_EQ(sha1.DigestHex(), SHA1DigestHex(message));
  EXPECT_EQ(sha256.DigestHex(), SHA256DigestHex("x" + message));
}

}  // namespace
}  // namespace kelvane
