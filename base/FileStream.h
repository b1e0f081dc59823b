#pragma once

#include <memory>
#include <string>

#include "base/Stream.h"
#include "platform/platform.h"

namespace kelvane {

// A read-only stream over a file, opened for shared reading. It reads ahead
// into a buffer of its own, yet every position it reports is the exact file
// offset of the next byte a caller gets.
class TFileStream : public TStream {
 public:
  // Opens an existing file; raises EFOpenError when it cannot be opened.
  explicit TFileStream(const std::string& fileName);
  ~TFileStream() override;

  std::size_t Read(void* buffer, std::size_t count) override;
  std::int64_t Position() const override;
  std::int64_t Size() override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;

 private:
  std::size_t Refill();

  platform::File file_;
  std::unique_ptr<char[]> buffer_;
  std::size_t bufferCapacity_ = 0;
  std::int64_t bufferStart_ = 0;   // file offset of buffer_[0]
  std::size_t bufferLength_ = 0;   // valid bytes in buffer_
  std::size_t bufferIndex_ = 0;    // next byte to hand out
  std::int64_t filePosition_ = 0;  // where the handle stands
};

}  // namespace kelvane
