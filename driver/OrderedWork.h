#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

namespace kelvane {

// Runs work(i) for every i below count on the calling thread and on one more,
// and hands each result to use(i, result) on the calling thread, in the order
// of i. Neither thread runs more than kAhead items ahead of the last one used.
// work must not raise; an exception from use ends the run once the second
// thread has finished its item, and is raised again.
template <class TResult, class TWork, class TUse>
void ForEachInOrder(std::size_t count, const TWork& work, const TUse& use) {
  constexpr std::size_t kAhead = 64;
  std::vector<TResult> results(kAhead);
  std::vector<bool> done(kAhead);
  std::mutex lock;
  std::condition_variable changed;
  std::size_t next = 0;  // the first item no thread has taken yet
  std::size_t used = 0;  // the first item not handed to use yet
  bool stopping = false;
  // Each side wakes the other only when it waits: most items are handed over
  // while both are busy, and a wake-up is a system call.
  bool helperWaits = false;
  bool callerWaits = false;

  // Takes the next item and works it; false when there is none to take.
  const auto workOne = [&](std::unique_lock<std::mutex>& hold) {
    if (next >= count || next >= used + kAhead) return false;
    const std::size_t item = next++;
    hold.unlock();
    TResult result = work(item);
    hold.lock();
    results[item % kAhead] = std::move(result);
    done[item % kAhead] = true;
    return true;
  };

  std::thread helper([&] {
    std::unique_lock<std::mutex> hold(lock);
    while (!stopping) {
      if (workOne(hold)) {
        if (callerWaits) changed.notify_all();
        continue;
      }
      if (next >= count) return;
      helperWaits = true;
      changed.wait(hold);
      helperWaits = false;
    }
  });
  const auto stop = [&] {
    {
      const std::lock_guard<std::mutex> hold(lock);
      stopping = true;
    }
    changed.notify_all();
    helper.join();
  };

  try {
    std::unique_lock<std::mutex> hold(lock);
    while (used < count) {
      if (!done[used % kAhead]) {
        if (!workOne(hold)) {
          callerWaits = true;
          changed.wait(hold);
          callerWaits = false;
        }
        continue;
      }
      TResult result = std::move(results[used % kAhead]);
      done[used % kAhead] = false;
      const std::size_t item = used++;
      if (helperWaits) changed.notify_all();
      hold.unlock();
      use(item, result);
      hold.lock();
    }
  } catch (...) {
    stop();
    throw;
  }
  stop();
}

}  // namespace kelvane
