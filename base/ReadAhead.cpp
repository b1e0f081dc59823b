#include "base/ReadAhead.h"

#include <utility>

#include "base/Exceptions.h"

namespace kelvane {

namespace {

// How far the reader may run ahead of the taker: enough files to keep both
// busy, and not so many bytes that the files waiting outweigh the one worked
// on. One file may always wait, however large.
constexpr std::size_t kFilesAhead = 16;
constexpr std::int64_t kBytesAhead = 8 << 20;

}  // namespace

TReadAhead::TReadAhead(std::vector<std::string> names, std::int64_t wholeLimit)
    : Names(std::move(names)),
      WholeLimit(wholeLimit),
      Ring(kFilesAhead),
      Reader([this] { ReadAll(); }) {}

TReadAhead::~TReadAhead() {
  {
    const std::lock_guard<std::mutex> hold(Lock);
    Stopping = true;
  }
  Changed.notify_all();
  Reader.join();
}

TReadFile TReadAhead::Read(const std::string& name) const {
  TReadFile file;
  try {
    auto stream = std::make_unique<TFileStream>(name);
    file.Opened = true;
    file.Size = stream->Size();
    if (file.Size > WholeLimit) {
      file.Stream = std::move(stream);
      return file;
    }
    const auto size = static_cast<std::size_t>(file.Size < 0 ? 0 : file.Size);
    file.Bytes = std::make_unique_for_overwrite<char[]>(size);
    // A file cut meanwhile delivers fewer bytes; its own check then fails.
    std::size_t got = 0;
    while (got < size) {
      const std::size_t n = stream->Read(file.Bytes.get() + got, size - got);
      if (n == 0) break;
      got += n;
    }
    file.Unchanged = got == size && stream->Unchanged();
  } catch (const EFOpenError&) {
    file.Opened = false;
  } catch (...) {
    file.Error = std::current_exception();
    file.Bytes.reset();
  }
  return file;
}

void TReadAhead::ReadAll() {
  for (const std::string& name : Names) {
    {
      std::unique_lock<std::mutex> hold(Lock);
      Changed.wait(hold, [this] {
        return Stopping || Count == 0 || (Count < Ring.size() && RingBytes < kBytesAhead);
      });
      if (Stopping) return;
    }
    TReadFile file = Read(name);
    {
      const std::lock_guard<std::mutex> hold(Lock);
      if (file.Bytes) RingBytes += file.Size;
      Ring[(First + Count++) % Ring.size()] = std::move(file);
    }
    Changed.notify_all();
  }
}

TReadFile TReadAhead::Take() {
  std::unique_lock<std::mutex> hold(Lock);
  Changed.wait(hold, [this] { return Count > 0; });
  TReadFile file = std::move(Ring[First]);
  First = (First + 1) % Ring.size();
  --Count;
  if (file.Bytes) RingBytes -= file.Size;
  hold.unlock();
  Changed.notify_all();
  return file;
}

}  // namespace kelvane
