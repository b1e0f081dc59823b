#include "digest/DigestTee.h"

#include <array>
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

// The second thread: it feeds the digests from First on the pieces it is
// handed, oldest first, and says when each is done. Two pieces may wait, so
// that it starts on the next one the moment it ends one, without waiting
// for the caller to wake and hand it over.
struct TDigestTee::THelper {
  struct TPiece {
    const void* Data = nullptr;
    std::size_t Length = 0;
  };
  std::mutex Lock;
  std::condition_variable Changed;
  std::array<TPiece, kLentPieces> Pieces;
  std::size_t Oldest = 0;
  std::size_t Count = 0;  // pieces waiting, or being fed
  std::size_t First = 0;
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
    Helper->First = Digests.size() < 2 ? 0 : 1;
    Helper->Thread = std::thread([this, helper = Helper.get()] {
      std::unique_lock<std::mutex> hold(helper->Lock);
      for (;;) {
        helper->Changed.wait(hold, [&] { return helper->Count != 0 || helper->Stopping; });
        if (helper->Stopping) return;
        const THelper::TPiece piece = helper->Pieces[helper->Oldest];
        hold.unlock();
        for (std::size_t i = helper->First; i < Digests.size(); ++i) {
          Digests[i]->Update(piece.Data, piece.Length);
        }
        hold.lock();
        helper->Oldest = (helper->Oldest + 1) % kLentPieces;
        --helper->Count;
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
  Helper->Changed.wait(hold, [&] { return Helper->Count == 0; });
}

void TDigestTee::Lend(const void* data, std::size_t length) {
  if (length < kParallelFrom || !HelperRuns()) {
    // Each digest takes the pieces in order: the lent ones go first.
    Settle();
    for (TBlockDigest* digest : Digests) digest->Update(data, length);
    return;
  }
  // One digest goes to the second thread whole; of several, the caller feeds
  // the first meanwhile.
  THelper& helper = *Helper;
  {
    std::unique_lock<std::mutex> hold(helper.Lock);
    helper.Changed.wait(hold, [&] { return helper.Count < kLentPieces; });
    helper.Pieces[(helper.Oldest + helper.Count) % kLentPieces] = {data, length};
    ++helper.Count;
  }
  helper.Changed.notify_all();
  if (helper.First == 1) Digests.front()->Update(data, length);
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
