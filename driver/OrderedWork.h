#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace kelvane {

// Runs work(i) for every i below count on the calling thread and, where one
// can be started, on one more, and hands each result to use(i, result, alone)
// on the calling thread, in the order of i. Neither thread runs more than
// kAhead items ahead of the last one used. alone tells that the calling thread
// works every item from here on. use returns false when the result must be
// worked again with the calling thread alone (it lacked a resource the second
// thread may have held): the second thread then finishes its item and stops,
// the item is worked again, and use gets the new result; a false from use with
// alone set is taken as true. work must not raise; an exception from use ends
// the run once the second thread has finished its item, and is raised again.
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

  std::optional<std::thread> helper;
  if (count > 1) {
    try {
      helper.emplace([&] {
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
    } catch (const std::system_error&) {
      // No thread could be started: the calling thread does all the work.
    }
  }
  // After this, every item taken is done, and the calling thread works alone.
  const auto stop = [&] {
    if (!helper) return;
    {
      const std::lock_guard<std::mutex> hold(lock);
      stopping = true;
    }
    changed.notify_all();
    helper->join();
    helper.reset();
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
      if (!use(item, result, !helper)) {
        stop();
        use(item, work(item), true);
      }
      hold.lock();
    }
  } catch (...) {
    stop();
    throw;
  }
  stop();
}

}  // namespace kelvane
