#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/Object.h"

namespace kelvane {

enum class TSeekOrigin { Beginning, Current };

// A seekable byte source. Positions are exact byte offsets from the start;
// a position before the start or past the end is allowed and reads nothing.
class TStream : public TObject {
 public:
  // Reads up to count bytes into buffer; returns how many were delivered,
  // 0 at the end or when reading fails. Never raises.
  virtual std::size_t Read(void* buffer, std::size_t count) = 0;
  // The current position.
  virtual std::int64_t Position() const = 0;
  // The size of the whole stream.
  virtual std::int64_t Size() = 0;
  // Moves to offset from the origin; returns the new position.
  virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
  // False when the source may have changed since the stream was opened, so
  // that the bytes delivered need not be ones it ever held together. Bytes
  // held in memory never change.
  virtual bool Unchanged() { return true; }

  // Reads exactly count bytes into buffer, asking as often as it takes;
  // raises EReadError unless every one of them arrives.
  void ReadExactly(void* buffer, std::size_t count);
};

// A stream over bytes held in memory; it keeps its own copy.
class TMemoryStream : public TStream {
 public:
  explicit TMemoryStream(std::string_view bytes);

  std::size_t Read(void* buffer, std::size_t count) override;
  std::int64_t Position() const override { return Current; }
  std::int64_t Size() override { return static_cast<std::int64_t>(Bytes.size()); }
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;

 private:
  std::string Bytes;
  std::int64_t Current = 0;
};

}  // namespace kelvane
