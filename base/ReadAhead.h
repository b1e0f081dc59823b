#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/FileStream.h"

namespace kelvane {

// One file as the read-ahead leaves it for its taker.
struct TReadFile {
  // False when the file could not be opened; nothing else is then set.
  bool Opened = false;
  // Raised while the file was read (out of memory); the taker raises it again.
  std::exception_ptr Error;
  // The size at the open.
  std::int64_t Size = 0;
  // A file of at most the whole-read limit: every byte of it, read in one
  // go, and the file's own check after that read (TStream::Unchanged); the
  // file is closed.
  std::unique_ptr<char[]> Bytes;
  bool Unchanged = false;
  // A larger file: still open at its first byte, for the taker to read.
  std::unique_ptr<TFileStream> Stream;
};

// Opens and reads files on a thread of its own, in the order given and a few
// files ahead of the one taking them, so that reading the next files overlaps
// the work on the current one. Each file is opened once, and a file read
// whole is closed before it is handed over.
class TReadAhead {
 public:
  // Files of at most wholeLimit bytes are read whole.
  TReadAhead(std::vector<std::string> names, std::int64_t wholeLimit);
  // Stops after the file being read, if any, and waits for the thread.
  ~TReadAhead();
  TReadAhead(const TReadAhead&) = delete;
  TReadAhead& operator=(const TReadAhead&) = delete;

  // The next file, in the order given; waits until it is read. Call it at
  // most once per name.
  TReadFile Take();

 private:
  void ReadAll();
  TReadFile Read(const std::string& name) const;

  const std::vector<std::string> Names;
  const std::int64_t WholeLimit;
  std::mutex Lock;
  std::condition_variable Changed;
  // Files read and not yet taken, in a ring made once, so that the reader
  // never allocates to hand a file over.
  std::vector<TReadFile> Ring;
  std::size_t First = 0;       // the ring's slot to take next
  std::size_t Count = 0;       // files in the ring
  std::int64_t RingBytes = 0;  // bytes they hold
  bool Stopping = false;
  std::thread Reader;  // last: it starts once the rest is in place
};

}  // namespace kelvane
