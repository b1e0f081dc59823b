#include "driver/ReportFile.h"

#include <memory>

#include "base/Exceptions.h"
#include "base/FileStream.h"
#include "base/StdOut.h"
#include "driver/PathHelpers.h"
#include "torrent/InfoHash.h"
#include "torrent/MagnetLink.h"

namespace kelvane {

namespace {

// The field computed, or "Error in file " when computing it raised anything.
template <class TCompute>
std::string FieldOf(const TCompute& compute) {
  try {
    return compute();
  } catch (...) {
    return kErrorInFile;
  }
}

}  // namespace

// The system calls a listed file of up to kReadWholeLimit bytes costs on
// POSIX, each for a reason: open; fstat, for the size and modification time
// at the open (and to refuse a directory); one read of the whole file; stat
// of the name after that read, the change check, since only the name can
// tell that it no longer denotes the file opened; close. The listing already
// told that the name is no directory, so nothing looks at the name before
// the open. On Windows: CreateFileA, GetFileSizeEx, ReadFile, CloseHandle;
// the share mode keeps writers out, in place of the change check.
std::optional<std::string> ListedFileField(const std::string& name, TLineContent content) {
  std::unique_ptr<TFileStream> stream;
  try {
    stream = std::make_unique<TFileStream>(name);
  } catch (const EFOpenError&) {
    return std::nullopt;
  } catch (...) {
    return kErrorInFile;
  }
  return FieldOf([&] {
    return stream->Size() == 0 ? "Error - Blank file!" : GetInfoHashOfStream(*stream, content);
  });
}

void WriteReportLine(const std::string& field, const std::string& shownName,
                     const TOptions& options) {
  // Outside every catch-all on purpose: a line that cannot be written ends
  // the run (EInOutError), and no other line could be written in its place.
  // A magnet link is the whole line, as a client takes it: it names the
  // torrent itself (dn=), so no file name follows it.
  const bool nameField = !options.HashOnly && !field.starts_with(kMagnetLinkStart);
  WriteLine(nameField ? field + "  " + ShownText(FileNamePart(shownName)) : field);
}

void ReportStandardInput(const TOptions& options) {
  const std::string field = FieldOf([&] {
    TFileStream stream(TFileStream::TStandardInput{});
    return GetInfoHashOfStream(stream, options.Content);
  });
  WriteReportLine(field, kStandardInputTarget, options);
}

void ReportFile(const std::string& openName, const std::string& shownName,
                const TOptions& options) {
  const std::string field = FieldOf([&] {
    return IsExistingFile(openName) ? GetInfoHash(openName, options.Content)
                                    : "Error - File not Exists: ";
  });
  WriteReportLine(field, shownName, options);
}

}  // namespace kelvane
