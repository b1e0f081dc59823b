#pragma once

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <vector>

#include "digest/BlockDigest.h"

namespace kelvane {

// Feeds one message to several digests at once, so that bytes read once give
// each of them: the SHA-1 and the SHA-256 of one info range in one pass. A
// long piece goes to the first digest on the calling thread and to the others
// on a second thread at the same time, so that both digests of a large info
// value take about the time of one. A long piece may also be lent: the second
// thread then goes on digesting it while the caller reads and scans the next
// one, so that a scan and its digest share the two cores.
class TDigestTee {
 public:
  // The digests stay the caller's and must outlive the tee; each may already
  // hold bytes of its own. Raises only for exhausted memory.
  explicit TDigestTee(std::initializer_list<TBlockDigest*> digests);
  // Waits for a lent piece, then ends the second thread, where one was started.
  ~TDigestTee();
  TDigestTee(const TDigestTee&) = delete;
  TDigestTee& operator=(const TDigestTee&) = delete;

  // Appends the bytes to every digest, in the order given, and returns once
  // every digest has them. Never raises: where no second thread can be
  // started, the calling thread feeds every digest.
  void Update(const void* data, std::size_t length);

  // Appends the bytes as Update does, but may return while the second thread
  // still reads them: the caller leaves them unchanged until kLentPieces more
  // calls to Lend, or one to Update or Settle, have returned (or the tee is
  // gone). Never raises; without a second thread, or for a short piece, it
  // is Update.
  void Lend(const void* data, std::size_t length);
  static constexpr std::size_t kLentPieces = 2;

  // Returns once every digest has every byte lent so far.
  void Settle();

 private:
  struct THelper;
  // Starts the second thread unless it runs already; false when it cannot.
  bool HelperRuns();

  std::vector<TBlockDigest*> Digests;
  std::unique_ptr<THelper> Helper;
};

}  // namespace kelvane
