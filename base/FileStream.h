#pragma once

#include <memory>
#include <string>

#include "base/Stream.h"
#include "platform/Platform.h"

namespace kelvane {

// A read-only stream over a file, opened for shared reading. It reads ahead
// into a buffer of its own, yet every position it reports is the exact file
// offset of the next byte a caller gets. A source the platform reads as a
// stream (standard input, a pipe, a FIFO, a device) has Size() -1 and cannot
// seek: a seek away from the next byte makes every later read deliver
// nothing.
class TFileStream : public TStream {
 public:
  // Opens an existing file; raises EFOpenError when it cannot be opened, or
  // EOutOfResources when the system lacked what opening it takes.
  explicit TFileStream(const std::string& fileName);
  // Standard input, from the next byte it holds; raises EFOpenError when the
  // process has none.
  struct TStandardInput {};
  explicit TFileStream(TStandardInput);
  ~TFileStream() override;

  std::size_t Read(void* buffer, std::size_t count) override;
  std::int64_t Position() const override;
  std::int64_t Size() override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  // The file's own check, as the platform makes it (see platform::TFile).
  bool Unchanged() override { return Source.Unchanged(); }

 private:
  std::size_t PieceSize();
  std::size_t Refill();

  platform::TFile Source;
  std::int64_t SizeAtOpen = -1;
  std::unique_ptr<char[]> Buffer;
  std::size_t BufferCapacity = 0;
  std::int64_t BufferStart = 0;   // file offset of Buffer[0]
  std::size_t BufferLength = 0;   // valid bytes in Buffer
  std::size_t BufferIndex = 0;    // next byte to hand out
  std::int64_t FilePosition = 0;  // where the handle stands
};

}  // namespace kelvane
