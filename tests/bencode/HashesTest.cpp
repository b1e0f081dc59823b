#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "bencode/Hashes.h"

namespace kelvane {
namespace {

// Logs its id when destroyed, showing what was freed and in which order.
struct TTracked : TObject {
  TTracked(int id, std::vector<int>& log) : Id(id), Log(log) {}
  ~TTracked() override { Log.push_back(Id); }
  int Id;
  std::vector<int>& Log;
};

int IdOf(const TObject* value) {
  return dynamic_cast<const TTracked&>(*value).Id;
}

TEST(HashKeyTest, GivesKnownValuesAndBuckets) {
  EXPECT_EQ(HashKey("abc"), 0x456767C3u);
  EXPECT_EQ(HashKey("a"), 0x23456761u);
  EXPECT_EQ(HashKey("A"), 0x23456761u);
  const std::pair<const char*, std::int32_t> buckets[] = {
      {"abc", 67}, {"info", 95}, {"_info_start", 116}, {"_info_length", 40}, {"a", 97}};
  TObjectHash hash;
  for (const auto& [key, expected] : buckets) {
    std::int32_t bucket = -1, position = -1;
    EXPECT_FALSE(hash.FindKey(key, bucket, position));
    EXPECT_EQ(bucket, expected) << key;
  }
}

TEST(ObjectHashTest, KeepsEveryKeyApart) {
  std::vector<int> log;
  TObjectHash hash;
  const std::string odd[] = {"a", "A", "ab", std::string("a\0b", 3), "\x80\xff"};
  for (int i = 0; i < 5; ++i) hash.Items(odd[i], std::make_unique<TTracked>(i, log));
  for (int i = 5; i < 3000; ++i) hash.Items(std::to_string(i), std::make_unique<TTracked>(i, log));
  hash.Items("nil", nullptr);
  EXPECT_EQ(hash.LastValueSlot(), 3000);
  for (int i = 0; i < 3000; ++i) EXPECT_EQ(IdOf(hash.Items(i < 5 ? odd[i] : std::to_string(i))), i);
  EXPECT_FALSE(hash.Exists(std::string("a\0", 2)));
  EXPECT_TRUE(hash.Exists("nil"));
  EXPECT_EQ(hash.Items("nil"), nullptr);
  EXPECT_TRUE(log.empty());
}

TEST(ObjectHashTest, FreesEachValueOnceInSlotOrder) {
  std::vector<int> log;
  {
    TObjectHash hash;
    for (int i = 0; i < 4; ++i) hash.Items(std::to_string(i), std::make_unique<TTracked>(i, log));
    hash.Items("gap", nullptr);
    auto nested = std::make_unique<TObjectHash>();
    nested->Items("inner", std::make_unique<TTracked>(50, log));
    hash.Items("nested", std::move(nested));

    hash.Items("1", std::make_unique<TTracked>(11, log));
    EXPECT_EQ(log, std::vector<int>{1});  // the replaced value goes at once
    EXPECT_EQ(hash.LastValueSlot(), 5);

    // Storing the object a key already holds must not free it.
    hash.Items("2", std::unique_ptr<TObject>(hash.Items("2")));
    EXPECT_EQ(IdOf(hash.Items("2")), 2);
    log.clear();
  }
  EXPECT_EQ(log, (std::vector<int>{0, 11, 2, 3, 50}));
}

TEST(ObjectHashTest, RefusesEmptyAndMissingKeys) {
  std::vector<int> log;
  TObjectHash hash;
  hash.Items("present", nullptr);
  const auto expect_refused = [](auto&& call) {
    try {
      call();
      ADD_FAILURE() << "no exception";
    } catch (const EHashInvalidKeyError& e) {
      EXPECT_EQ(e.Message(), "Key cannot be an empty string");
    }
  };
  expect_refused([&] { hash.Exists(""); });
  expect_refused([&] { hash.Items(""); });
  expect_refused([&] { hash.Items("", std::make_unique<TTracked>(7, log)); });
  EXPECT_EQ(log, std::vector<int>{7});  // freed by the caller's pointer, never stored
  EXPECT_EQ(hash.LastValueSlot(), 0);
  try {
    hash.Items("absent");
    ADD_FAILURE() << "no exception";
  } catch (const EHashFindError& e) {
    EXPECT_EQ(e.Message(), "Key \"absent\" not found");
  }
}

}  // namespace
}  // namespace kelvane
