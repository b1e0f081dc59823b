#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
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
      [&](std::size_t i, const std::string& result) {
        EXPECT_EQ(std::this_thread::get_id(), caller);
        EXPECT_EQ(result, std::to_string(i * 3));
        used.push_back(i);
      });
  ASSERT_EQ(used.size(), 1000u);
  for (std::size_t i = 0; i < used.size(); ++i) ASSERT_EQ(used[i], i);
  EXPECT_GT(workedElsewhere, 0);
  ForEachInOrder<int>(
      0, [](std::size_t) { return 0; }, [](std::size_t, int) { FAIL(); });
}

// A failing use ends the run at once, as a failed write to standard output does: no item is
// used after it, and only a few more are worked.
TEST(OrderedWorkTest, AnErrorFromUseEndsTheRun) {
  std::atomic<std::size_t> worked = 0;
  std::size_t used = 0;
  const auto run = [&] {
    ForEachInOrder<std::size_t>(
        100000, [&](std::size_t i) { return ++worked, i; },
        [&](std::size_t i, std::size_t) {
          if (i == 10) throw std::runtime_error("write failed");
          ++used;
        });
  };
  EXPECT_THROW(run(), std::runtime_error);
  EXPECT_EQ(used, 10u);
  EXPECT_LT(worked, 200u);
}

}  // namespace
}  // namespace kelvane
