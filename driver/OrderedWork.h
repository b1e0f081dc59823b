#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace kelvane {

// Runs work(item) for every item take hands over, on the calling thread and,
// where helped and one can be started, on one more, and hands each item and
// its result to use(item, result, alone) on the calling thread, in the order
// take gave them. take(item) fills item and returns true, or returns false
// when none is left, and is not called again; either thread calls it, one
// call at a time, in order. Neither thread runs more than kAhead items ahead
// of the last one used. alone tells that the calling thread works every item
// from here on. use returns false when the result must be worked again with
// the calling thread alone (it lacked a resource the second thread may have
// held): the second thread then finishes its item and stops, the item is
// worked again, and use gets the new result; a false from use with alone set
// is taken as true. take and work must not raise; an exception from use ends
// the run once the second thread has finished its item, and is raised again.
template <class TItem, class TResult, class TTake, class TWork, class TUse>
void ForEachTakenInOrder(bool helped, const TTake& take, const TWork& work, const TUse& use) {
  constexpr std::size_t kAhead = 64;
  std::vector<TItem> items(kAhead);
  std::vector<TResult> results(kAhead);
  std::vector<bool> done(kAhead);
  std::mutex lock;
  std::condition_variable changed;
  std::size_t next = 0;  // the number of items taken so far
  std::size_t used = 0;  // the first item not handed to use yet
  bool last = false;     // take has none left
  bool stopping = false;
  // Each side wakes the other only when it waits: most items are handed over
  // while both are busy, and a wake-up is a system call.
  bool helperWaits = false;
  bool callerWaits = false;

  // Takes the next item and works it; false when there is none to take.
  const auto workOne = [&](std::unique_lock<std::mutex>& hold) {
    if (last || next >= used + kAhead) return false;
    const std::size_t slot = next % kAhead;
    if (!take(items[slot])) {
      last = true;
      return false;
    }
    ++next;
    hold.unlock();
    // No thread touches the slot until this item is used.
    TResult result = work(items[slot]);
    hold.lock();
    results[slot] = std::move(result);
    done[slot] = true;
    return true;
  };

  std::optional<std::thread> helper;
  if (helped) {
    try {
      helper.emplace([&] {
        std::unique_lock<std::mutex> hold(lock);
        while (!stopping) {
          if (workOne(hold)) {
            if (callerWaits) changed.notify_all();
            continue;
          }
          if (last) {
            if (callerWaits) changed.notify_all();
            return;
          }
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
    while (!last || used < next) {
      const std::size_t slot = used % kAhead;
      if (used == next || !done[slot]) {
        if (!workOne(hold) && used < next) {
          callerWaits = true;
          changed.wait(hold);
          callerWaits = false;
        }
        continue;
      }
      TItem item = std::move(items[slot]);
      TResult result = std::move(results[slot]);
      done[slot] = false;
      ++used;
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

// ForEachTakenInOrder over the items 0 to count - 1: work(i) and use(i,
// result, alone) for each i, helped by a second thread where count > 1.
template <class TResult, class TWork, class TUse>
void ForEachInOrder(std::size_t count, const TWork& work, const TUse& use) {
  std::size_t taken = 0;
  ForEachTakenInOrder<std::size_t, TResult>(
      count > 1,
      [&](std::size_t& item) {
        if (taken >= count) return false;
        item = taken++;
        return true;
      },
      work, use);
}

}  // namespace kelvane
