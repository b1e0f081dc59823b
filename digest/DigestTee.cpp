#include "digest/DigestTee.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace kelvane {

namespace {

// Shorter pieces are fed on the calling thread alone: handing them over would
// cost more than it saves, and many small files are read by two threads
// already.
constexpr std::size_t kParallelFrom = 128 * 1024;

}  // namespace

// The second thread: it feeds the digests from First on the piece it is
// handed, and says when it is done.
struct TDigestTee::THelper {
  std::mutex Lock;
  std::condition_variable Changed;
  const void* Data = nullptr;
  std::size_t Length = 0;
  std::size_t First = 0;
  bool Pending = false;  // a piece waits, or is being fed
  bool Stopping = false;
  std::thread Thread;
};

TDigestTee::TDigestTee(std::initializer_list<TBlockDigest*> digests) : Digests(digests) {}

TDigestTee::~TDigestTee() {
  if (!Helper || !Helper->Thread.joinable()) return;
  Settle();
  {
    const std::lock_guard<std::mutex> hold(Helper->Lock);
    Helper->Stopping = true;
  }
  Helper->Changed.notify_all();
  Helper->Thread.join();
}

bool TDigestTee::HelperRuns() {
  if (Helper) return Helper->Thread.joinable();
  try {
    Helper = std::make_unique<THelper>();
    Helper->Thread = std::thread([this, helper = Helper.get()] {
      std::unique_lock<std::mutex> hold(helper->Lock);
      for (;;) {
        helper->Changed.wait(hold, [&] { return helper->Pending || helper->Stopping; });
        if (helper->Stopping) return;
        hold.unlock();
        for (std::size_t i = helper->First; i < Digests.size(); ++i) {
          Digests[i]->Update(helper->Data, helper->Length);
        }
        hold.lock();
        helper->Pending = false;
        helper->Changed.notify_all();
      }
    });
  } catch (const std::exception&) {  // no memory or no thread: the caller feeds them all
    return false;
  }
  return true;
}

void TDigestTee::Settle() {
  if (!Helper || !Helper->Thread.joinable()) return;
  std::unique_lock<std::mutex> hold(Helper->Lock);
  Helper->Changed.wait(hold, [&] { return !Helper->Pending; });
}

void TDigestTee::Lend(const void* data, std::size_t length) {
  // Each digest takes the pieces in order: the last lent one goes first.
  Settle();
  if (length < kParallelFrom || !HelperRuns()) {
    for (TBlockDigest* digest : Digests) digest->Update(data, length);
    return;
  }
  // One digest goes to the second thread whole; of several, the caller feeds
  // the first meanwhile.
  const std::size_t first = Digests.size() < 2 ? 0 : 1;
  {
    const std::lock_guard<std::mutex> hold(Helper->Lock);
    Helper->Data = data;
    Helper->Length = length;
    Helper->First = first;
    Helper->Pending = true;
  }
  Helper->Changed.notify_all();
  if (first == 1) Digests.front()->Update(data, length);
}

void TDigestTee::Update(const void* data, std::size_t length) {
  if (Digests.size() < 2) {
    // Handing a lone digest over would only add the wait.
    Settle();
    for (TBlockDigest* digest : Digests) digest->Update(data, length);
    return;
  }
  Lend(data, length);
  Settle();
}

}  // namespace kelvane
