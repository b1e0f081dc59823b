#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <random>
#include <string>

#include "base/Exceptions.h"
#include "base/FileStream.h"
#include "base/Stream.h"
#include "tests/support/TestSupport.h"

namespace kelvane {
namespace {

constexpr std::int64_t kBuffer = 64 * 1024;  // the file stream's read-ahead

TEST(FileStreamTest, AgreesWithMemoryOnExactPositionsAcrossTheBufferEdge) {
  // Bytes whose pattern does not repeat at the buffer size, so a misplaced piece shows.
  std::string data(3 * kBuffer + 123, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>((i * 7) ^ (i / 251));
  testing::TempFolder folder;
  TFileStream file(folder.Write("data.bin", data));
  TMemoryStream memory(data);
  const auto size = static_cast<std::int64_t>(data.size());
  EXPECT_EQ(file.Size(), size);
  // A seek from the beginning ('b') or from the current position ('c'), or a read ('r'), on both
  // streams: they must deliver the bytes of the data and stand at the same exact offset afterwards.
  const auto step = [&](char op, std::int64_t value) {
    const std::int64_t at = memory.Position();
    if (op == 'r') {
      const auto count = static_cast<std::size_t>(value);
      const std::string expected = at < 0 || at >= size ? "" : data.substr(std::size_t(at), count);
      for (TStream* stream : {static_cast<TStream*>(&file), static_cast<TStream*>(&memory)}) {
        std::string bytes(count, '\0');
        ASSERT_EQ(bytes.substr(0, stream->Read(bytes.data(), count)), expected)
            << (stream == &memory ? "memory" : "file") << " read " << value << " at " << at;
      }
      ASSERT_EQ(memory.Position(), at + std::ssize(expected));
    } else {
      const TSeekOrigin origin = op == 'b' ? TSeekOrigin::Beginning : TSeekOrigin::Current;
      ASSERT_EQ(file.Seek(value, origin), memory.Seek(value, origin)) << op << value;
    }
    ASSERT_EQ(file.Position(), memory.Position()) << op << value << " from " << at;
  };

  // Byte by byte over the buffer's edge, one read over it, back into an earlier piece; reads
  // large enough to go straight into the caller's memory, short at the end, nothing past it; the
  // ends of the piece just read and one byte beyond them; outside the stream, and back in.
  // clang-format off
  const std::int64_t script[] = {  // pairs of an operation and its value
      'b', kBuffer - 3, 'r', 1, 'r', 1, 'r', 1, 'r', 1, 'r', 1, 'b', kBuffer - 10, 'r', 20,
      'b', 5, 'r', 7, 'c', -3, 'r', 3,
      'b', 1000, 'r', 2 * kBuffer + 17, 'r', 1, 'c', 2, 'r', kBuffer, 'r', 4 * kBuffer, 'r', 10,
      'b', 0, 'r', 1, 'b', kBuffer, 'r', 3, 'b', 0, 'r', 1, 'b', kBuffer + 1, 'r', 3,
      'b', 0, 'r', 1, 'b', kBuffer - 1, 'r', 3,
      'b', size + 50, 'r', 5, 'r', 2 * kBuffer, 'b', -7, 'r', 5, 'r', 2 * kBuffer, 'c', 10, 'r', 4};
  // clang-format on
  for (std::size_t i = 0; i < std::size(script) && !HasFatalFailure(); i += 2)
    step(static_cast<char>(script[i]), script[i + 1]);
  std::mt19937 random(12345);
  for (int i = 0; i < 3000 && !HasFatalFailure(); ++i) {
    const std::int64_t kind = random() % 5, n = random();
    const std::int64_t value = kind == 0   ? n % (size + 100) - 50
                               : kind == 1 ? n % 4001 - 2000
                                           : n % (kind == 2 ? 2 * kBuffer + 100 : 40);
    step("bcrrr"[kind], value);
  }
}

#ifndef _WIN32
// Whatever happens to the file after the open, the stream can tell that its bytes may not be the
// file's. (On Windows no writer gets in while the file is open: see ReportFileTest.)
TEST(FileStreamTest, SeesEveryChangeSinceTheOpen) {
  namespace fs = std::filesystem;
  testing::TempFolder folder;
  const std::string data(3 * kBuffer, 'd');
  const auto read = [](TStream& stream, std::int64_t count) {
    std::string bytes(static_cast<std::size_t>(count), '\0');
    return stream.Read(bytes.data(), bytes.size());
  };
  // Each change comes after the first 1000 bytes were read, and the rest is read afterwards. The
  // file is dated in the past, so that a write now gives it another modification time.
  using TChange = void (*)(const fs::path&, const std::function<void()>& readRest);
  const std::pair<std::string, TChange> changes[] = {
      {"none", [](const fs::path&, const auto&) {}},
      {"truncated", [](const fs::path& file, const auto&) { fs::resize_file(file, 2000); }},
      {"appended to and dated back",
       [](const fs::path& file, const auto&) {
         const auto date = fs::last_write_time(file);
         std::ofstream(file, std::ios::app) << "e";
         fs::last_write_time(file, date);
       }},
      {"rewritten",
       [](const fs::path& file, const auto&) {
         std::fstream(file, std::ios::in | std::ios::out).seekp(5000) << "x";
       }},
      {"read while cut, then grown back to its size and date",
       [](const fs::path& file, const auto& readRest) {
         const auto date = fs::last_write_time(file);
         fs::resize_file(file, 2000);
         readRest();
         fs::resize_file(file, 3 * kBuffer);
         fs::last_write_time(file, date);
       }},
      {"replaced by a file of the same size and date",
       [](const fs::path& file, const auto&) {
         const fs::path other = file.string() + ".new";
         std::ofstream(other) << std::string(3 * kBuffer, 'd');
         fs::last_write_time(other, fs::last_write_time(file));
         fs::rename(other, file);
       }},
      {"removed", [](const fs::path& file, const auto&) { fs::remove(file); }}};
  for (const auto& [what, change] : changes) {
    const fs::path file = folder.Write("x.torrent", data);
    fs::last_write_time(file, fs::last_write_time(file) - std::chrono::hours(1));
    TFileStream stream(file.string());
    const auto readRest = [&] { read(stream, 4 * kBuffer); };
    read(stream, 1000);
    change(file, readRest);
    readRest();
    EXPECT_EQ(stream.Unchanged(), what == "none") << what;
  }
}
#endif

TEST(FileStreamTest, MissingFileOrDirectoryRaisesEFOpenError) {
  testing::TempFolder folder;
  for (const std::string& name : {folder.Name("missing.torrent"), folder.MakeFolder("sub")})
    EXPECT_THROW(TFileStream{name}, EFOpenError) << name;
}

}  // namespace
}  // namespace kelvane
