#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/Exceptions.h"
#include "base/FileStream.h"
#include "base/StdOut.h"
#include "base/Stream.h"
#include "bencode/BDecode.h"
#include "driver/ReportFile.h"
#include "tests/base/TestFolder.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace kelvane {
namespace {

// Digests below were computed once with Python's hashlib over the info bytes.
constexpr char kEmptyDigest[] = "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709";
constexpr char kI1eDigest[] = "1C9D0D26A5211FC7A715823784AAAFAEAF7E88C7";     // "i1e"
constexpr char kThreeZeros[] = "29E2DCFBB16F63BB0254DF7585A15BB6FB5E927D";    // 3 zero bytes
constexpr char kFiveZeros[] = "A10909C2CDCAF5ADB7E6B092A4FABA558B62BD96";     // 5 zero bytes
constexpr char kD4Digest[] = "335F8C63E2B78968CCEA26C7531B3186EA36B3E0";      // "d4:"
constexpr char kFourColonI[] = "186D1F9E925D26160CF22F159BA3867DF57BB1C0";    // "4:i"
constexpr char kEeThreeZeros[] = "8CA6E777712C37425190C51888C9AF6A6BE1D2DC";  // "ee", 3 zeros

std::string Bytes(int first, int count) {
  std::string bytes;
  for (int i = 0; i < count; ++i) bytes += static_cast<char>(first + i);
  return bytes;
}

const std::string kSingleInfo =
    "d6:lengthi5e4:name5:a.txt12:piece lengthi16384e6:pieces20:" + Bytes(0, 20) + "e";
constexpr char kSingleDigest[] = "133E7EF28FFFCB98605443CBD54A9D391219D9A3";
const std::string kMultiInfo =
    "d5:filesld6:lengthi3e4:pathl1:aeed6:lengthi4e4:pathl3:dir1:beee4:name4:root"
    "12:piece lengthi32768e6:pieces20:" +
    Bytes(100, 20) + "e";
constexpr char kMultiDigest[] = "7AE0A530E9C5CDF7A1EFA34F94D8D7A3E6ED1D5F";

// An info value larger than the file stream's buffer, behind a long comment,
// so that it starts and ends in different pieces of the file. Both the
// comment and the piece hashes are long enough to be left in the file by the
// decoder rather than copied.
std::string BigInfo() {
  std::string pieces(1200000, '\0');
  for (std::size_t i = 0; i < pieces.size(); ++i)
    pieces[i] = static_cast<char>((i * 13) ^ (i >> 8));
  return "d6:lengthi1e4:name1:x12:piece lengthi16384e6:pieces1200000:" + pieces + "e";
}
constexpr char kBigDigest[] = "63BE19503DFF7A1CA9B249B126119069BC932349";
const std::string kBigFile =
    "d7:comment1500000:" + std::string(1500000, 'c') + "4:info" + BigInfo() + "e";

// A file whose info value, a 600000-byte string, is read for its digest in
// several pieces.
std::string WideFile(const std::string& tail) {
  std::string data(600000, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>((i * 31) ^ (i >> 9));
  return "d4:info600000:" + data + tail + "e";
}
constexpr char kWideDigest[] = "0815AF5BC4E9A5576813ECF293195B179ACF465B";
// The rest of the file from the info value on, then zero bytes up to 700000.
constexpr char kWidePastDigest[] = "BF1C0C57AD2DB8A0CFD5CBD2B43A51E92F277702";

std::vector<std::string> pieces;
bool failing = false;

bool Capture(std::string_view bytes) {
  pieces.emplace_back(bytes);
  return !failing;
}

class ReportFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pieces.clear();
    failing = false;
    SetStdOutWriter(Capture, false);
  }
  void TearDown() override { SetStdOutWriter(nullptr, false); }

  // Everything ReportFile wrote for one file, as the bytes that reach stdout.
  std::string Report(const std::string& openName, const std::string& shownName, bool hashOnly) {
    pieces.clear();
    ReportFile(openName, shownName, hashOnly);
    FlushStdOut();
    std::string all;
    for (const std::string& piece : pieces) all += piece;
    return all;
  }
  // The line for a file made with the given content, under its own name.
  std::string ReportOn(const std::string& content, bool hashOnly = false) {
    const std::string name = folder_.Write("x.torrent", content);
    return Report(name, name, hashOnly);
  }

  testing::TestFolder folder_;
};

TEST_F(ReportFileTest, WellFormedFilesGiveTheDigestOfTheirRawInfoBytes) {
  const std::string single = "d8:announce18:http://t.example/a4:info" + kSingleInfo + "e";
  EXPECT_EQ(ReportOn(single), std::string(kSingleDigest) + "  x.torrent\r\n");
  EXPECT_EQ(ReportOn(single, true), std::string(kSingleDigest) + "\r\n");
  // Bytes outside the info value do not count.
  EXPECT_EQ(ReportOn("d8:announce3:xyz4:info" + kSingleInfo + "7:comment2:hie trailing junk"),
            std::string(kSingleDigest) + "  x.torrent\r\n");
  EXPECT_EQ(ReportOn("d4:info" + kMultiInfo + "e"), std::string(kMultiDigest) + "  x.torrent\r\n");
  EXPECT_EQ(ReportOn(kBigFile), std::string(kBigDigest) + "  x.torrent\r\n");
  EXPECT_EQ(ReportOn(WideFile("")), std::string(kWideDigest) + "  x.torrent\r\n");
  EXPECT_EQ(ReportOn("d4:infoi1ee"), std::string(kI1eDigest) + "  x.torrent\r\n");
  EXPECT_EQ(ReportOn("d4:info"), std::string(kEmptyDigest) + "  x.torrent\r\n");
}

TEST_F(ReportFileTest, FilesWithoutATopLevelInfoRangeGiveTheirErrorLines) {
  EXPECT_EQ(ReportOn(""), "Error - Blank file!  x.torrent\r\n");
  EXPECT_EQ(ReportOn("", true), "Error - Blank file!\r\n");
  EXPECT_EQ(ReportOn("d1:xd4:infoi1eee"), "Error parsing file!  x.torrent\r\n");
  EXPECT_EQ(ReportOn("d1:ai1ee"), "Error parsing file!  x.torrent\r\n");
  EXPECT_EQ(ReportOn("d4:inf"), "Error parsing file!  x.torrent\r\n");
  EXPECT_EQ(ReportOn("d1:ai1ee", true), "Error parsing file!\r\n");
}

TEST_F(ReportFileTest, UndecodableFilesGiveTheErrorInFileLine) {
  for (const std::string content :
       {"li1ee", "i5e", "4:spam", "Just a text file.\r\n",
        "\xEF\xBB\xBF"
        "d4:infoi1ee",
        "dx1:ae", "d4:infoi1e11:_info_startli1eee", "d4:infoi1e12:_info_lengthd1:ai1eee"}) {
    EXPECT_EQ(ReportOn(content), "Error in file   x.torrent\r\n") << content;
  }
  EXPECT_EQ(ReportOn("li1ee", true), "Error in file \r\n");
}

TEST_F(ReportFileTest, RangesTheFileSuppliesItselfStayInsideTheBuffer) {
  // A byte string counts as 0.
  EXPECT_EQ(ReportOn("d4:infoi1e11:_info_start3:abce"), std::string(kD4Digest) + "  x.torrent\r\n");
  EXPECT_EQ(ReportOn("d4:infoi1e12:_info_length2:xye"),
            std::string(kEmptyDigest) + "  x.torrent\r\n");
  EXPECT_EQ(ReportOn("d4:infoi1e12:_info_lengthi-5ee"),
            std::string(kEmptyDigest) + "  x.torrent\r\n");
  // Bytes that are not there count as zero bytes.
  EXPECT_EQ(ReportOn("d4:infoi1e11:_info_starti-3ee"),
            std::string(kThreeZeros) + "  x.torrent\r\n");
  EXPECT_EQ(ReportOn("d4:infoi1e11:_info_starti1000e12:_info_lengthi5ee"),
            std::string(kFiveZeros) + "  x.torrent\r\n");
  EXPECT_EQ(ReportOn("d4:infoi1e11:_info_starti45e12:_info_lengthi5ee"),  // 2 bytes left
            std::string(kEeThreeZeros) + "  x.torrent\r\n");
  EXPECT_EQ(ReportOn(WideFile("12:_info_lengthi700000e")),
            std::string(kWidePastDigest) + "  x.torrent\r\n");
  // Only the low 32 bits of each value count.
  EXPECT_EQ(ReportOn("d4:infoi1e11:_info_starti4294967297e12:_info_lengthi4294967299ee"),
            std::string(kFourColonI) + "  x.torrent\r\n");
  EXPECT_EQ(ReportOn("d4:infoi1e12:_info_lengthi2147483648ee"),
            std::string(kEmptyDigest) + "  x.torrent\r\n");
}

TEST_F(ReportFileTest, NamesToOpenAndNamesToShow) {
  const std::string file = folder_.Write("short.t", "d4:infoi1ee");
  EXPECT_EQ(Report(file, "C:\\Long Folder\\A Long Name.torrent", false),
            std::string(kI1eDigest) + "  A Long Name.torrent\r\n");
  EXPECT_EQ(Report(file, "a/b\\c:d.torrent", false), std::string(kI1eDigest) + "  d.torrent\r\n");
  EXPECT_EQ(Report(file, "bare", false), std::string(kI1eDigest) + "  bare\r\n");

  const std::string directory = folder_.MakeFolder("dir.torrent");
  EXPECT_EQ(Report(directory, directory, false), "Error - File not Exists:   dir.torrent\r\n");
  EXPECT_EQ(Report(directory, directory, true), "Error - File not Exists: \r\n");
  EXPECT_EQ(Report(folder_.Name("gone"), "gone", false), "Error - File not Exists:   gone\r\n");
}

TEST_F(ReportFileTest, AFailedWriteIsNeverReportedAsSuccess) {
  const std::string file = folder_.Write("x.torrent", "d4:infoi1ee");
  SetStdOutWriter(Capture, true);
  failing = true;
  try {
    ReportFile(file, file, false);
    ADD_FAILURE() << "ReportFile returned after a failed write";
  } catch (const Exception& error) {
    EXPECT_STREQ(error.ClassName(), "EInOutError");
  }
  // The line was attempted, then the error line, which failed as well.
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_EQ(pieces[0], std::string(kI1eDigest) + "  x.torrent\r\n");
  EXPECT_EQ(pieces[1], "Error in file   x.torrent\r\n");
}

// The decoder records the same range whichever stream it reads, and the range
// is the info value's place in the file.
TEST(InfoRange, FileAndMemoryStreamsRecordTheSameRange) {
  testing::TestFolder folder;
  TFileStream file(folder.Write("big.torrent", kBigFile));
  TMemoryStream memory(kBigFile);
  for (TStream* stream : {static_cast<TStream*>(&file), static_cast<TStream*>(&memory)}) {
    std::unique_ptr<TObject> root = DecodeStream(*stream);
    auto* dictionary = dynamic_cast<TObjectHash*>(root.get());
    ASSERT_NE(dictionary, nullptr);
    EXPECT_EQ(dynamic_cast<TIntString&>(*dictionary->Items("_info_start")).IntValue, 1500024);
    EXPECT_EQ(dynamic_cast<TIntString&>(*dictionary->Items("_info_length")).IntValue,
              static_cast<std::int64_t>(BigInfo().size()));
    EXPECT_EQ(stream->Position(), static_cast<std::int64_t>(kBigFile.size()));
  }
  TMemoryStream again(kBigFile);
  EXPECT_EQ(GetInfoHashOfStream(again), kBigDigest);
}

#ifndef _WIN32
// A FIFO holds no bytes of its own; waiting for a writer would hang the run.
TEST_F(ReportFileTest, AFifoIsReportedWithoutWaitingForAWriter) {
  const std::string fifo = folder_.Name("pipe.torrent");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(Report(fifo, fifo, false), "Error - Blank file!  pipe.torrent\r\n");
}
#endif

#ifdef _WIN32
// A file that another handle holds open for writing cannot be opened for
// shared reading; a handle that only reads does not stand in the way.
TEST_F(ReportFileTest, AFileOpenForWritingElsewhereGivesTheErrorInFileLine) {
  const std::string file = folder_.Write("x.torrent", "d4:infoi1ee");
  HANDLE reader = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Report(file, file, false), std::string(kI1eDigest) + "  x.torrent\r\n");
  CloseHandle(reader);

  HANDLE writer = CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Report(file, file, false), "Error in file   x.torrent\r\n");
  HANDLE refused = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_EQ(refused, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  CloseHandle(writer);
}

// The file is closed before its line is written: the writer can then open it
// without sharing.
std::string closedFile;
bool closedWhenWritten = false;
bool CaptureIfClosed(std::string_view bytes) {
  HANDLE handle = CreateFileA(closedFile.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  closedWhenWritten = handle != INVALID_HANDLE_VALUE;
  if (closedWhenWritten) CloseHandle(handle);
  return Capture(bytes);
}

TEST_F(ReportFileTest, TheFileIsClosedBeforeItsLineIsWritten) {
  closedFile = folder_.Write("x.torrent", "d4:infoi1ee");
  SetStdOutWriter(CaptureIfClosed, true);
  ReportFile(closedFile, closedFile, false);
  EXPECT_TRUE(closedWhenWritten);
  EXPECT_EQ(pieces.back(), std::string(kI1eDigest) + "  x.torrent\r\n");
}
#endif

}  // namespace
}  // namespace kelvane
