#include "driver/ReportFile.h"

#include <memory>
#include <new>

#include "base/Exceptions.h"
#include "base/FileStream.h"
#include "base/StdOut.h"
#include "driver/PathHelpers.h"
#include "platform/Conventions.h"
#include "platform/Platform.h"
#include "torrent/InfoHash.h"
#include "torrent/MagnetLink.h"

namespace kelvane {

namespace {

// The field computed, or "Error in file " when computing it raised anything
// but the system's lack of a resource, which is no file's fault.
template <class TCompute>
std::string FieldOf(const TCompute& compute) {
  try {
    return compute();
  } catch (const EOutOfResources&) {
    throw;
  } catch (const EOutOfMemory&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw;
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
TFileLook LookAtFile(const std::string& name, TLineContent content) {
  TFileLook look;
  try {
    std::unique_ptr<TFileStream> stream;
    try {
      stream = std::make_unique<TFileStream>(name);
    } catch (const EFOpenError& error) {
      look.OpenError = error.Code();
      return look;
    }
    look.Field = FieldOf([&] {
      return stream->Size() == 0 ? "Error - Blank file!" : GetInfoHashOfStream(*stream, content);
    });
  } catch (const EOutOfResources& error) {
    look.Shortage = error.Code();
  } catch (const EOutOfMemory&) {
    look.Shortage = platform::kErrorNoMemory;
  } catch (const std::bad_alloc&) {
    look.Shortage = platform::kErrorNoMemory;
  }
  return look;
}

void RaiseShortage(const TFileLook& look, const std::string& shownName) {
  if (look.Shortage == platform::kErrorNoMemory) {
    throw EOutOfMemory("Out of memory", shownName, look.Shortage);
  }
  throw EOutOfResources(platform::ErrorText(look.Shortage), shownName, look.Shortage);
}

bool WriteReportLine(const std::string& field, const std::string& shownName,
                     const TOptions& options) {
  // Outside every catch-all on purpose: a line that cannot be written ends
  // the run (EInOutError), and no other line could be written in its place.
  // A magnet link is the whole line, as a client takes it: it names the
  // torrent itself (dn=), so no file name follows it.
  const bool nameField = !options.HashOnly && !field.starts_with(kMagnetLinkStart);
  const std::string name = platform::kConventions.PathAsGiven ? shownName : FileNamePart(shownName);
  WriteLine(nameField ? field + "  " + ShownText(name) : field);
  return !field.starts_with("Error");
}

bool ReportFile(const std::string& openName, const std::string& shownName,
                const TOptions& options) {
  const std::string field = FieldOf([&] {
    return IsExistingFile(openName) ? GetInfoHash(openName, options.Content)
                                    : "Error - File not Exists: ";
  });
  return WriteReportLine(field, shownName, options);
}

}  // namespace kelvane
