#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "bencode/Hashes.h"

namespace kelvane {
namespace {

// Records its id in a shared log when destroyed.
class TTracked : public TObject {
 public:
  TTracked(int id, std::vector<int>& log) : id_(id), log_(log) {}
  ~TTracked() override { log_.push_back(id_); }
  int Id() const { return id_; }

 private:
  int id_;
  std::vector<int>& log_;
};

// Stores tracked values 0..count-1 under the keys "0k", "1k", ...
void Fill(TObjectHash& hash, int count, std::vector<int>& log) {
  for (int i = 0; i < count; ++i)
    hash.Items(std::to_string(i) + "k", std::make_unique<TTracked>(i, log));
}

int IdOf(const TObject* value) {
  return dynamic_cast<const TTracked&>(*value).Id();
}

std::int32_t BucketOf(const THash& hash, std::string_view key, bool* found = nullptr) {
  std::int32_t bucket = -1;
  std::int32_t position = -1;
  const bool is_found = hash.FindKey(key, bucket, position);
  if (found != nullptr) *found = is_found;
  return bucket;
}

TEST(HashKeyTest, GivesKnownValuesAndBuckets) {
  EXPECT_EQ(HashKey("abc"), 0x456767C3u);
  EXPECT_EQ(HashKey("a"), 0x23456761u);
  EXPECT_EQ(HashKey("A"), 0x23456761u);
  TObjectHash hash;
  const std::pair<const char*, std::int32_t> buckets[] = {
      {"abc", 67}, {"info", 95}, {"_info_start", 116}, {"_info_length", 40}, {"a", 97}};
  for (const auto& [key, bucket] : buckets) {
    bool found = true;
    EXPECT_EQ(BucketOf(hash, key, &found), bucket) << key;
    EXPECT_FALSE(found);
  }
}

TEST(ObjectHashTest, KeysAreExactByteStrings) {
  std::vector<int> log;
  TObjectHash hash;
  const std::string keys[] = {"a", "A", "ab", "abc", std::string("a\0b", 3), "\x80\xff"};
  for (int i = 0; i < 6; ++i) hash.Items(keys[i], std::make_unique<TTracked>(i, log));
  hash.Items("nil", nullptr);
  EXPECT_EQ(hash.LastValueSlot(), 6);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(IdOf(hash.Items(keys[i])), i) << i;
  EXPECT_FALSE(hash.Exists(std::string("a\0", 2)));
  EXPECT_TRUE(hash.Exists("nil"));
  EXPECT_EQ(hash.Items("nil"), nullptr);
  EXPECT_TRUE(log.empty());
}

TEST(ObjectHashTest, OwnsEachValueAndFreesItOnce) {
  std::vector<int> log;
  {
    TObjectHash hash;
    Fill(hash, 4, log);
    hash.Items("gap", nullptr);
    auto nested = std::make_unique<TObjectHash>();
    nested->Items("inner", std::make_unique<TTracked>(50, log));
    hash.Items("nested", std::move(nested));

    // A replaced value goes at once; the key keeps its slot and bucket position.
    std::int32_t bucket = 0, position = 0, bucket2 = 0, position2 = 0;
    ASSERT_TRUE(hash.FindKey("1k", bucket, position));
    hash.Items("1k", std::make_unique<TTracked>(11, log));
    EXPECT_EQ(log, std::vector<int>({1}));
    EXPECT_EQ(hash.LastValueSlot(), 5);
    ASSERT_TRUE(hash.FindKey("1k", bucket2, position2));
    EXPECT_EQ(std::make_pair(bucket, position), std::make_pair(bucket2, position2));

    // Storing the object a key already holds must not free it.
    hash.Items("2k", std::unique_ptr<TObject>(hash.Items("2k")));
    EXPECT_EQ(IdOf(hash.Items("2k")), 2);
    log.clear();
  }
  EXPECT_EQ(log, std::vector<int>({0, 11, 2, 3, 50}));
}

TEST(ObjectHashTest, SlotOperationsNeverShareOrLeakValues) {
  std::vector<int> log;
  TObjectHash hash;
  Fill(hash, 4, log);
  hash.FreeValueSlot(0);
  hash.FreeValueSlot(9);
  hash.MoveValueSlot(1, 2);
  EXPECT_EQ(hash.Items("1k"), nullptr);
  EXPECT_EQ(IdOf(hash.Items("2k")), 1);
  hash.SetValueSlotCount(3);
  EXPECT_EQ(log, std::vector<int>({0, 2, 3}));
  hash.FreeAllValues();
  EXPECT_EQ(hash.LastValueSlot(), -1);
  EXPECT_EQ(log, std::vector<int>({0, 2, 3, 1}));
  EXPECT_EQ(hash.AllocateValueSlot(), 0);
}

TEST(ObjectHashTest, ManyKeysStayRetrievableInTheirBuckets) {
  TObjectHash hash;
  const std::int32_t crowded_bucket = HashKey("100000zz") & 127;
  std::vector<std::string> crowded;  // keys sharing that bucket, in insertion order
  for (int i = 0; i < 3000; ++i) {
    std::string key = std::to_string(i) + "zz";
    auto value = std::make_unique<TObjectHash>();
    if (static_cast<std::int32_t>(HashKey(key) & 127) == crowded_bucket) crowded.push_back(key);
    hash.Items(key, std::move(value));
  }
  EXPECT_EQ(hash.LastValueSlot(), 2999);
  for (int i = 0; i < 3000; ++i) EXPECT_TRUE(hash.Exists(std::to_string(i) + "zz")) << i;
  EXPECT_FALSE(hash.Exists("3000zz"));
  ASSERT_GT(crowded.size(), 100u);
  for (std::size_t i = 0; i < crowded.size(); ++i) {
    std::int32_t bucket = 0, position = 0;
    ASSERT_TRUE(hash.FindKey(crowded[i], bucket, position));
    EXPECT_EQ(bucket, crowded_bucket);
    EXPECT_EQ(position, static_cast<std::int32_t>(i));
  }
}

TEST(ObjectHashTest, RefusesEmptyAndMissingKeys) {
  std::vector<int> log;
  TObjectHash hash;
  hash.Items("present", nullptr);
  const auto expect_invalid = [](auto&& call) {
    try {
      call();
      ADD_FAILURE() << "no exception";
    } catch (const EHashInvalidKeyError& e) {
      EXPECT_EQ(e.Message(), "Key cannot be an empty string");
    }
  };
  expect_invalid([&] { hash.Exists(""); });
  expect_invalid([&] { hash.Items(""); });
  expect_invalid([&] { hash.Items("", std::make_unique<TTracked>(7, log)); });
  EXPECT_EQ(log, std::vector<int>({7}));  // the caller's value, freed by the caller's pointer
  EXPECT_EQ(hash.LastValueSlot(), 0);

  try {
    hash.Items("absent");
    ADD_FAILURE() << "no exception";
  } catch (const EHashError& e) {
    EXPECT_STREQ(e.ClassName(), "EHashFindError");
    EXPECT_EQ(e.Message(), "Key \"absent\" not found");
  }
}

}  // namespace
}  // namespace kelvane
