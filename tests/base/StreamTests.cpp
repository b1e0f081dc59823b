#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "base/Exceptions.h"
#include "base/FileStream.h"
#include "base/Stream.h"
#include "tests/base/TestFolder.h"

namespace kelvane {
namespace {

constexpr std::int64_t kBuffer = 64 * 1024;

// Bytes whose pattern does not repeat at the buffer size, so a piece read
// from the wrong offset shows.
std::string PatternBytes(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7) ^ (i / 251));
  return bytes;
}

// What a correct stream delivers for a read of count bytes at position.
std::string Expected(const std::string& data, std::int64_t position, std::size_t count) {
  const auto size = static_cast<std::int64_t>(data.size());
  if (position < 0 || position >= size) return {};
  return data.substr(static_cast<std::size_t>(position), count);
}

std::string ReadFrom(TStream& stream, std::size_t count) {
  std::string bytes(count, '\0');
  bytes.resize(stream.Read(bytes.data(), count));
  return bytes;
}

class StreamTest : public ::testing::Test {
 protected:
  StreamTest() : data_(PatternBytes(3 * kBuffer + 123)), name_(folder_.Write("data.bin", data_)) {}

  // Both streams must deliver the expected bytes and stand at the same exact
  // offset afterwards.
  void ReadBoth(TFileStream& file, TMemoryStream& memory, std::size_t count) {
    const std::int64_t before = memory.Position();
    ASSERT_EQ(file.Position(), before);
    const std::string expected = Expected(data_, before, count);
    ASSERT_EQ(ReadFrom(file, count), expected) << "read " << count << " at " << before;
    ASSERT_EQ(ReadFrom(memory, count), expected) << "read " << count << " at " << before;
    ASSERT_EQ(file.Position(), before + static_cast<std::int64_t>(expected.size()));
    ASSERT_EQ(memory.Position(), file.Position());
  }

  void SeekBoth(TFileStream& file, TMemoryStream& memory, std::int64_t offset, TSeekOrigin origin) {
    const std::int64_t target = memory.Seek(offset, origin);
    ASSERT_EQ(file.Seek(offset, origin), target);
    ASSERT_EQ(file.Position(), target);
  }

  testing::TestFolder folder_;
  std::string data_;
  std::string name_;
};

TEST_F(StreamTest, ReadsAcrossTheBufferEdgeAndSeeksKeepExactOffsets) {
  TFileStream file(name_);
  TMemoryStream memory(data_);
  EXPECT_EQ(file.Size(), static_cast<std::int64_t>(data_.size()));

  SeekBoth(file, memory, kBuffer - 3, TSeekOrigin::Beginning);
  for (int i = 0; i < 6; ++i) ReadBoth(file, memory, 1);  // byte by byte over the edge
  SeekBoth(file, memory, kBuffer - 10, TSeekOrigin::Beginning);
  ReadBoth(file, memory, 20);                         // one read spanning the edge
  SeekBoth(file, memory, 5, TSeekOrigin::Beginning);  // back into an earlier piece
  ReadBoth(file, memory, 7);
  SeekBoth(file, memory, -3, TSeekOrigin::Current);
  ReadBoth(file, memory, 3);
  SeekBoth(file, memory, 1000, TSeekOrigin::Beginning);
  ReadBoth(file, memory, static_cast<std::size_t>(2 * kBuffer + 17));  // straight into the caller
  ReadBoth(file, memory, 1);
  SeekBoth(file, memory, 2, TSeekOrigin::Current);
  ReadBoth(file, memory, static_cast<std::size_t>(kBuffer));
  ReadBoth(file, memory, static_cast<std::size_t>(4 * kBuffer));  // short at the end
  ReadBoth(file, memory, 10);                                     // nothing at the end

  // Seeks to the ends of the piece just read and one byte beyond them.
  for (std::int64_t target : {kBuffer, kBuffer + 1, kBuffer - 1, std::int64_t{0}}) {
    SeekBoth(file, memory, 0, TSeekOrigin::Beginning);
    ReadBoth(file, memory, 1);
    SeekBoth(file, memory, target, TSeekOrigin::Beginning);
    ReadBoth(file, memory, 3);
  }
}

TEST_F(StreamTest, PositionsOutsideTheStreamReadNothing) {
  TFileStream file(name_);
  TMemoryStream memory(data_);
  SeekBoth(file, memory, static_cast<std::int64_t>(data_.size()) + 50, TSeekOrigin::Beginning);
  ReadBoth(file, memory, 5);
  ReadBoth(file, memory, static_cast<std::size_t>(2 * kBuffer));
  SeekBoth(file, memory, -7, TSeekOrigin::Beginning);
  ReadBoth(file, memory, 5);
  ReadBoth(file, memory, static_cast<std::size_t>(2 * kBuffer));
  SeekBoth(file, memory, 10, TSeekOrigin::Current);  // back inside at offset 3
  ReadBoth(file, memory, 4);
}

TEST_F(StreamTest, RandomReadsAndSeeksAgreeWithMemory) {
  TFileStream file(name_);
  TMemoryStream memory(data_);
  std::mt19937 random(12345);
  const auto size = static_cast<std::int64_t>(data_.size());
  for (int step = 0; step < 3000; ++step) {
    switch (random() % 5) {
      case 0:
        SeekBoth(file, memory, static_cast<std::int64_t>(random() % (size + 100)) - 50,
                 TSeekOrigin::Beginning);
        break;
      case 1:
        SeekBoth(file, memory, static_cast<std::int64_t>(random() % 4001) - 2000,
                 TSeekOrigin::Current);
        break;
      case 2:
        ReadBoth(file, memory, random() % (2 * kBuffer + 100));
        break;
      default:
        ReadBoth(file, memory, random() % 40);
        break;
    }
    if (HasFatalFailure()) return;
  }
}

TEST(FileStreamOpen, MissingFileOrDirectoryRaisesEFOpenError) {
  testing::TestFolder folder;
  for (const std::string& name : {folder.Name("missing.torrent"), folder.MakeFolder("sub")}) {
    try {
      TFileStream stream(name);
      ADD_FAILURE() << "opened " << name;
    } catch (const Exception& error) {
      EXPECT_STREQ(error.ClassName(), "EFOpenError");
    }
  }
}

TEST(FileStreamOpen, EmptyFileHasSizeZeroAndReadsNothing) {
  testing::TestFolder folder;
  TFileStream stream(folder.Write("empty", ""));
  EXPECT_EQ(stream.Size(), 0);
  EXPECT_EQ(ReadFrom(stream, 10), "");
  EXPECT_EQ(stream.Position(), 0);
}

}  // namespace
}  // namespace kelvane
