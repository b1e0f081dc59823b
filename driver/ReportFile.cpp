#include "driver/ReportFile.h"

#include <memory>
#include <new>
#include <utility>

#include "base/Exceptions.h"
#include "base/FileStream.h"
#include "base/JsonObject.h"
#include "base/StdOut.h"
#include "driver/PathHelpers.h"
#include "platform/Conventions.h"
#include "platform/Platform.h"
#include "torrent/MagnetLink.h"

namespace kelvane {

namespace {

constexpr char kFileNotExists[] = "Error - File not Exists: ";

// The identities computed, or the error "Error in file " when computing them
// raised anything but the system's lack of a resource, which is no file's
// fault.
template <class TCompute>
TInfoIdentities IdentitiesOf(const TCompute& compute) {
  try {
    return compute();
  } catch (const EOutOfResources&) {
    throw;
  } catch (const EOutOfMemory&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw;
  } catch (...) {
    return TInfoIdentities::Failure(kErrorInFile);
  }
}

// The name a file's line shows after its field, before ShownText.
std::string NameField(const TShownName& shownName) {
  return platform::kConventions.PathAsGiven ? shownName.Path
                                            : shownName.Path.substr(shownName.TargetFolderLength);
}

std::optional<std::string_view> TextOrNull(const std::string& text) {
  return text.empty() ? std::nullopt : std::optional<std::string_view>(text);
}

// The JSON record of a file whose line shows nameField.
std::string JsonRecord(const TInfoIdentities& identities, const std::string& nameField) {
  TJsonObject record;
  record.AddText("path", platform::ToUtf8(nameField));
  const bool failed = !identities.Error.empty();
  record.AddText("infohash", failed ? std::nullopt : TextOrNull(LowerCaseHex(identities.Sha1Hex)));
  const std::string sha256 = LowerCaseHex(identities.Sha256Hex);
  record.AddText("infohash_v2", failed ? std::nullopt : TextOrNull(sha256));
  record.AddText("magnet", failed ? std::nullopt : TextOrNull(identities.Magnet));
  record.AddText("name", failed ? std::nullopt : identities.Name);
  // The error line's field without the blanks that part it from a name.
  const std::string error = identities.Error.substr(0, identities.Error.find_last_not_of(' ') + 1);
  record.AddText("error", TextOrNull(error));
  return record.Text();
}

}  // namespace

TShownName::TShownName(const std::string& path)
    : Path(path), TargetFolderLength(DirectoryPart(path).size()) {}

TShownName::TShownName(std::string path, std::size_t targetFolderLength)
    : Path(std::move(path)), TargetFolderLength(targetFolderLength) {}

// The system calls a listed file of up to kWindow bytes costs on
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
    look.Found = IdentitiesOf([&] { return GetIdentitiesOfStream(*stream, content); });
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

bool WriteReportLine(const TInfoIdentities& identities, const TShownName& shownName,
                     const TOptions& options) {
  // Outside every catch-all on purpose: a line that cannot be written ends
  // the run (EInOutError), and no other line could be written in its place.
  if (options.Content == TLineContent::AllIdentities) {
    WriteLine(JsonRecord(identities, NameField(shownName)));
    return identities.Error.empty();
  }
  // A magnet link is the whole line, as a client takes it: it names the
  // torrent itself (dn=), so no file name follows it.
  const std::string field = LineField(identities, options.Content);
  const bool nameField = !options.HashOnly && !field.starts_with(kMagnetLinkStart);
  WriteLine(nameField ? field + "  " + ShownText(NameField(shownName)) : field);
  return !field.starts_with("Error");
}

void WriteMissingFileLine(const std::string& name, const TOptions& options) {
  WriteLine(options.Content == TLineContent::AllIdentities
                ? JsonRecord(TInfoIdentities::Failure(kFileNotExists), name)
                : kFileNotExists + ShownText(name));
}

bool ReportStandardInput(const TOptions& options) {
  const TInfoIdentities identities = IdentitiesOf([&] {
    TFileStream stream(TFileStream::TStandardInput{});
    return GetIdentitiesOfStream(stream, options.Content);
  });
  return WriteReportLine(identities, std::string(kStandardInputTarget), options);
}

bool ReportFile(const std::string& openName, const TShownName& shownName, const TOptions& options) {
  const TInfoIdentities identities = IdentitiesOf([&] {
    return IsExistingFile(openName) ? GetIdentities(openName, options.Content)
                                    : TInfoIdentities::Failure(kFileNotExists);
  });
  return WriteReportLine(identities, shownName, options);
}

}  // namespace kelvane
