#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/Exceptions.h"
#include "bencode/Hashes.h"

namespace kelvane {
namespace {

using namespace std::string_literals;

// Logs its id when destroyed, showing what was freed and in which order.
struct TTracked : TObject {
  TTracked(int id, std::vector<int>& log) : Id(id), Log(log) {}
  ~TTracked() override { Log.push_back(Id); }
  int Id;
  std::vector<int>& Log;
};

// What call returns, or the class and message of what it raises.
std::string Outcome(const auto& call) {
  try {
    return call();
  } catch (const Exception& e) {
    return e.ClassName() + (": " + e.Message());
  }
}

TEST(HashesTest, KeepsKeysApartAndFreesEachValueOnceInSlotOrder) {
  const std::string odd[] = {"a\0a"s, "A", "a", "ab", "\x80\xff"};
  const auto key = [&](int i) { return i < 5 ? odd[i] : std::to_string(i); };
  std::int32_t bucket[3], position = -1;  // a\0a, A and a share a bucket: only their bytes differ
  for (const int i : {0, 1, 2}) TObjectHash().FindKey(odd[i], bucket[i], position);
  EXPECT_TRUE(bucket[0] == bucket[1] && bucket[1] == bucket[2]);
  std::vector<int> log, expected = {3};
  {
    TObjectHash hash;
    for (int i = 0; i < 1000; ++i) hash.Items(key(i), std::make_unique<TTracked>(i, log));
    hash.Items("nil", nullptr);
    for (int i = 0; i < 1000; ++i) EXPECT_EQ(dynamic_cast<TTracked&>(*hash.Items(key(i))).Id, i);
    EXPECT_EQ(hash.Items("nil"), nullptr);
    EXPECT_FALSE(hash.Exists("a\0"s));
    hash.Items("ab", std::make_unique<TTracked>(1001, log));
    EXPECT_EQ(log, expected);                                    // the replaced value goes at once
    hash.Items("A", std::unique_ptr<TObject>(hash.Items("A")));  // storing what it holds
    for (int i = 0; i < 1000; ++i) expected.push_back(i == 3 ? 1001 : i);
  }
  EXPECT_EQ(log, expected);  // the new value in the slot of the one it replaced
}

// Keys spread over every bucket, crowded ones included, come back in the order they were first
// stored; storing again under a key keeps its place.
TEST(HashesTest, WalksKeysInTheOrderTheyWereFirstStored) {
  TObjectHash hash;
  std::vector<std::string> keys;
  for (int i = 0; i < 3000; ++i) keys.push_back(std::to_string(i * 7919 % 3001) + "zz");
  for (const std::string& key : keys) hash.Items(key, std::make_unique<TObject>());
  hash.Items(keys[5], nullptr);
  ASSERT_EQ(hash.KeyCount(), 3000);
  for (int i = 0; i < 3000; ++i) {
    EXPECT_EQ(hash.KeyAt(i), keys[i]);
    EXPECT_EQ(hash.ValueAt(i), hash.Items(keys[i]));
  }
  EXPECT_EQ(hash.ValueAt(5), nullptr);
}

TEST(HashesTest, RefusesEmptyAndMissingKeys) {
  std::vector<int> log;
  TObjectHash hash;
  const std::string empty = "EHashInvalidKeyError: Key cannot be an empty string";
  EXPECT_EQ(Outcome([&] { return std::to_string(hash.Exists("")); }), empty);
  EXPECT_EQ(Outcome([&] { return std::to_string(hash.Items("") != nullptr); }), empty);
  EXPECT_THROW(hash.Items("", std::make_unique<TTracked>(7, log)), EHashInvalidKeyError);
  EXPECT_EQ(log, std::vector<int>{7});  // freed by the caller's pointer, never stored
  EXPECT_EQ(hash.LastValueSlot(), -1);
  EXPECT_EQ(Outcome([&] { return std::to_string(hash.Items("x") != nullptr); }),
            "EHashFindError: Key \"x\" not found");
}

}  // namespace
}  // namespace kelvane
