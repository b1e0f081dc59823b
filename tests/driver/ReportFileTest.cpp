#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "base/Exceptions.h"
#include "base/StdOut.h"
#include "driver/PathHelpers.h"
#include "driver/ReportFile.h"
#include "platform/Conventions.h"
#include "tests/support/TestSupport.h"

namespace kelvane {
namespace {

using namespace std::string_literals;
using testing::kEol;
using testing::Output;

// How a line shows a file named by its full name: natively as given, on Windows its name alone.
std::string Shown(const std::string& fullName, const std::string& fileName) {
  return platform::kConventions.PathAsGiven ? fullName : fileName;
}

// Digests computed once with Python's hashlib over the bytes named.
constexpr char kI1e[] = "1C9D0D26A5211FC7A715823784AAAFAEAF7E88C7";  // "i1e"
constexpr char k4i[] = "186D1F9E925D26160CF22F159BA3867DF57BB1C0";  // "4:i"

// The bytes one call writes to standard output.
std::string Report(const std::string& openName, const std::string& shownName, bool hashOnly) {
  Output output(false);
  ReportFile(openName, shownName, TOptions{.HashOnly = hashOnly});
  FlushStdOut();
  return Output::Text();
}

// Each field and the contents of files that get it (the end-to-end cases hold files cut at every
// length). A range the file supplies itself is an error when a list or when it does not lie whole
// in the file, and counts as 0 when a byte string.
TEST(ReportFileTest, OneLineForFilesOfEveryForm) {
  // clang-format off
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {kI1e, {"d8:announce3:xyz4:infoi1e7:comment2:hie trailing junk"}},
      {"Error parsing file!", {"d1:xd4:infoi1eee", "d1:ai1ee"}},
      {"Error in file ", {"li1ee", "\357\273\277d4:infoi1ee", "dx1:ae",
          "d4:infoi1e11:_info_startli1eee", "d4:infoi1e12:_info_lengthli1eee",
          "d4:infoi1e12:_info_lengthi-5ee", "d4:infoi1e11:_info_starti-3ee",
          "d4:infoi1e11:_info_starti45e12:_info_lengthi3ee",
          "d4:infoi1e11:_info_starti4294967297e12:_info_lengthi3ee",
          "d4:infoi1e12:_info_lengthi2147483648ee", "d4:infoi1e12:_info_lengthi--3ee"}},
      {"DA39A3EE5E6B4B0D3255BFEF95601890AFD80709", {"d4:infoi1e12:_info_length2:xye"}},  // ""
      {"335F8C63E2B78968CCEA26C7531B3186EA36B3E0", {"d4:infoi1e11:_info_start3:abce"}},  // "d4:"
      {"1F444844B1CA616009C2B0E3564FECC065872B5B",  // "ee", the last bytes
          {"d4:infoi1e11:_info_starti45e12:_info_lengthi2ee"}},
      {k4i, {"d4:infoi1e11:_info_starti1e12:_info_lengthi3ee"}}};
  // clang-format on
  testing::TempFolder folder;
  for (const auto& [field, contents] : cases)
    for (const std::string& content : contents) {
      const std::string name = folder.Write("x.torrent", content);
      EXPECT_EQ(Report(name, name, false), field + "  "s + Shown(name, "x.torrent") + kEol)
          << content.substr(0, 60);
      EXPECT_EQ(Report(name, name, true), field + kEol) << content.substr(0, 60);
    }
}

// The record of a file, shown under its file-name part, whatever -hash says.
std::string Record(const std::string& name) {
  Output output(false);
  ReportFile(name, FileNamePart(name),
             TOptions{.HashOnly = true, .Content = TLineContent::AllIdentities});
  FlushStdOut();
  return Output::Text();
}

const std::string kNoIdentities =
    R"(,"infohash":null,"infohash_v2":null,"magnet":null,"name":null,"error":)";

// The record holds every identity a line could show, the digests in lower case, the name as the
// link gives it; an error leaves every identity null.
TEST(ReportFileTest, AJsonRecordHoldsEveryIdentityOrTheError) {
  const std::string info =
      "d9:file treed1:ad0:d6:lengthi1e11:pieces root32:" + std::string(32, 'r') +
      "eee6:lengthi1e12:meta versioni2e4:name3:a b12:piece lengthi16384e6:pieces20:" +
      std::string(20, 'p') + "e";
  const std::string sha1 = "d1cc7cb569bc0ccd09ee99a11da5efe314d41ad8";
  const std::string sha256 = "d0ab0a86468fbd1ea4e102c81aa09f82dac7734e15b23be916948e81c2445864";
  testing::TempFolder folder;
  EXPECT_EQ(Record(folder.Write("hybrid.torrent", "d8:announce3:t:/4:info" + info + "e")),
            R"({"path":"hybrid.torrent","infohash":")" + sha1 + R"(","infohash_v2":")" + sha256 +
                R"(","magnet":"magnet:?xt=urn:btih:)" + sha1 + "&xt=urn:btmh:1220" + sha256 +
                R"(&dn=a%20b&tr=t%3a%2f","name":"a b","error":null})" + kEol);
  const std::string v1 = "4e49d4d53a251131b1d83558fb26cdb32818f837";  // "d4:name0:e"
  EXPECT_EQ(Record(folder.Write("v1.torrent", "d4:infod4:name0:ee")),
            R"({"path":"v1.torrent","infohash":")" + v1 +
                R"(","infohash_v2":null,"magnet":"magnet:?xt=urn:btih:)" + v1 +
                R"(","name":null,"error":null})" + kEol);
  EXPECT_EQ(Record(folder.Write("broken.torrent", "li1ee")),
            R"({"path":"broken.torrent")" + kNoIdentities + R"("Error in file"})" + kEol);
  EXPECT_EQ(Record(folder.Name("gone")),
            R"({"path":"gone")" + kNoIdentities + R"("Error - File not Exists:"})" + kEol);
}

TEST(ReportFileTest, AFailedWriteIsNeverSwallowed) {
  testing::TempFolder folder;
  const std::string file = folder.Write("x.torrent", "d4:infoi1ee");
  Output output(true);
  Output::Failing = true;
  EXPECT_THROW(ReportFile(file, file, TOptions{}), EInOutError);
  // The line was attempted once; no other line went out in its place.
  EXPECT_EQ(Output::Pieces, std::vector{kI1e + "  "s + Shown(file, "x.torrent") + kEol});
}

}  // namespace
}  // namespace kelvane
