#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "driver/OrderedWork.h"

namespace kelvane {
namespace {

// Items of uneven cost, far more of them than run ahead: every result reaches use once, in
// order, on the calling thread, and the work is shared by two threads.
TEST(OrderedWorkTest, UsesEveryResultInOrderOnTheCallingThread) {
  const std::thread::id caller = std::this_thread::get_id();
  std::atomic<int> workedElsewhere = 0;
  std::vector<std::size_t> used;
  ForEachInOrder<std::string>(
      1000,
      [&](std::size_t i) {
        if (i % 97 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (std::this_thread::get_id() != caller) ++workedElsewhere;
        return std::to_string(i * 3);
      },
      [&](std::size_t i, const std::string& result, bool) {
        EXPECT_EQ(std::this_thread::get_id(), caller);
        EXPECT_EQ(result, std::to_string(i * 3));
        used.push_back(i);
        return true;
      });
  ASSERT_EQ(used.size(), 1000u);
  for (std::size_t i = 0; i < used.size(); ++i) ASSERT_EQ(used[i], i);
  EXPECT_GT(workedElsewhere, 0);
  ForEachInOrder<int>(
      0, [](std::size_t) { return 0; }, [](std::size_t, int, bool) { return false; });
}

// A failing use ends the run at once, as a failed write to standard output does: no item is
// used after it, and only a few more are worked.
TEST(OrderedWorkTest, AnErrorFromUseEndsTheRun) {
  std::atomic<std::size_t> worked = 0;
  std::size_t used = 0;
  const auto run = [&] {
    ForEachInOrder<std::size_t>(
        100000, [&](std::size_t i) { return ++worked, i; },
        [&](std::size_t i, std::size_t, bool) {
          if (i == 10) throw std::runtime_error("write failed");
          ++used;
          return true;
        });
  };
  EXPECT_THROW(run(), std::runtime_error);
  EXPECT_EQ(used, 10u);
  EXPECT_LT(worked, 200u);
}

// A result use refuses is worked again once the second thread has stopped, and from then on
// every item is worked by the calling thread alone, the results still used in order.
TEST(OrderedWorkTest, ARefusedResultIsWorkedAgainAlone) {
  const std::thread::id caller = std::this_thread::get_id();
  std::vector<int> workedBy(500);  // 1: the caller, 2: the other thread, added up per item
  std::vector<std::pair<std::size_t, bool>> used;
  bool refused = false;
  ForEachInOrder<std::size_t>(
      workedBy.size(),
      [&](std::size_t i) {
        workedBy[i] += std::this_thread::get_id() == caller ? 1 : 2;
        return i;
      },
      [&](std::size_t i, std::size_t result, bool alone) {
        EXPECT_EQ(result, i);
        if (i == 100 && !refused) return !(refused = true);
        used.emplace_back(i, alone);
        return true;
      });
  ASSERT_EQ(used.size(), workedBy.size());
  for (std::size_t i = 0; i < used.size(); ++i) {
    ASSERT_EQ(used[i].first, i);
    EXPECT_EQ(used[i].second, i >= 100) << i;
  }
  // Item 100 worked twice, the second time by the caller; items well past the look-ahead only
  // by the caller.
  EXPECT_TRUE(workedBy[100] == 2 || workedBy[100] == 3);
  for (std::size_t i = 100 + 64 + 2; i < workedBy.size(); ++i) ASSERT_EQ(workedBy[i], 1) << i;
}

// Items whose number is known only when take runs out (a walk down a tree): take is called in
// order, one call at a time, never again after it said none is left, with a helper or without;
// each item is used once, in order.
TEST(OrderedWorkTest, TakenItemsAreUsedInTheOrderTakeGaveThem) {
  const std::thread::id caller = std::this_thread::get_id();
  for (const std::size_t count : {0, 1, 2, 1000}) {
    for (const bool helped : {false, true}) {
      std::atomic<bool> taking = false;
      std::size_t taken = 0, callsAfterEnd = 0;
      bool ended = false;
      std::vector<std::string> used;
      ForEachTakenInOrder<std::string, std::size_t>(
          helped,
          [&](std::string& item) {
            EXPECT_FALSE(taking.exchange(true));
            callsAfterEnd += ended;
            ended = taken == count;
            if (!ended) item = std::to_string(taken++);
            taking = false;
            return !ended;
          },
          [&](const std::string& item) {
            // The second thread slower: the caller meets the end while an item is still worked.
            const bool helper = std::this_thread::get_id() != caller;
            std::this_thread::sleep_for(std::chrono::microseconds(helper ? 300 : 20));
            return item.size();
          },
          [&](const std::string& item, std::size_t size, bool) {
            EXPECT_EQ(size, item.size());
            used.push_back(item);
            return true;
          });
      EXPECT_EQ(callsAfterEnd, 0u);
      ASSERT_EQ(used.size(), count) << helped;
      for (std::size_t i = 0; i < count; ++i) ASSERT_EQ(used[i], std::to_string(i));
    }
  }
}

}  // namespace
}  // namespace kelvane
