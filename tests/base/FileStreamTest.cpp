#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "base/Exceptions.h"
#include "base/FileStream.h"
#include "base/Stream.h"
#include "tests/support/TestSupport.h"

#ifdef _WIN32
#include <windows.h>
#endif

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
}

#ifndef _WIN32
// Whatever happens to the file after the open, the stream can tell that its bytes may not be the
// file's. (On Windows no writer gets in while the file is open.)
TEST(FileStreamTest, SeesEveryChangeSinceTheOpen) {
  namespace fs = std::filesystem;
  testing::TempFolder folder;
  const fs::path file = folder.Folder() / "x.torrent";
  const std::string data(3 * kBuffer, 'd');
  const auto readRest = [](TStream& stream) {
    std::string rest(4 * kBuffer, '\0');
    stream.Read(rest.data(), rest.size());
  };
  // Each change comes after the first 1000 bytes were read, and the rest is read afterwards. The
  // file is dated in the past, so that a write now gives it another modification time; a change
  // "dated back" then gives the file its date again.
  const std::pair<std::string, std::function<void(TStream&)>> changes[] = {
      {"none", [](TStream&) {}},
      {"truncated", [&](TStream&) { fs::resize_file(file, 2000); }},
      {"appended to, dated back", [&](TStream&) { std::ofstream(file, std::ios::app) << "e"; }},
      {"rewritten",
       [&](TStream&) { std::fstream(file, std::ios::in | std::ios::out).seekp(5000) << "x"; }},
      {"read while cut, then grown back to its size, dated back",
       [&](TStream& stream) {
         fs::resize_file(file, 2000);
         readRest(stream);
         fs::resize_file(file, 3 * kBuffer);
       }},
      {"replaced by a file of the same size, dated back",
       [&](TStream&) { fs::rename(folder.Write("new", data), file); }},
      {"linked elsewhere too, then replaced by a file of the same size, dated back",
       [&](TStream&) {
         fs::create_hard_link(file, folder.Folder() / "other");
         fs::rename(folder.Write("new", data), file);
       }},
      {"removed", [&](TStream&) { fs::remove(file); }}};
  for (const auto& [what, change] : changes) {
    fs::remove(folder.Folder() / "other");
    folder.Write("x.torrent", data);
    const auto date = fs::last_write_time(file) - std::chrono::hours(1);
    fs::last_write_time(file, date);
    TFileStream stream(file.string());
    std::string first(1000, '\0');
    stream.Read(first.data(), first.size());
    change(stream);
    if (what.ends_with("dated back")) fs::last_write_time(file, date);
    readRest(stream);
    EXPECT_EQ(stream.Unchanged(), what == "none") << what;
  }
}
#else
// While the stream is open no other program can open the file for writing, so its bytes cannot
// change; others can read it meanwhile.
TEST(FileStreamTest, KeepsWritersOutWhileOpen) {
  testing::TempFolder folder;
  const std::string file = folder.Write("x.torrent", "d4:infoi1ee");
  const auto open = [&](DWORD access) {
    return CreateFileA(file.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  TFileStream stream(file);
  EXPECT_EQ(open(GENERIC_WRITE), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_SHARING_VIOLATION});
  const HANDLE reader = open(GENERIC_READ);
  EXPECT_NE(reader, INVALID_HANDLE_VALUE);
  CloseHandle(reader);
  EXPECT_TRUE(stream.Unchanged());
}
#endif

TEST(FileStreamTest, MissingFileOrDirectoryRaisesEFOpenError) {
  testing::TempFolder folder;
  for (const std::string& name : {folder.Name("missing.torrent"), folder.MakeFolder("sub")})
    EXPECT_THROW(TFileStream{name}, EFOpenError) << name;
}

}  // namespace
}  // namespace kelvane
