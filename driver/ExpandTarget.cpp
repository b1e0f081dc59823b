#include "driver/ExpandTarget.h"

#include <array>
#include <optional>
#include <utility>
#include <vector>

#include "driver/OrderedWork.h"
#include "base/StdOut.h"
#include "driver/PathHelpers.h"
#include "driver/ReportFile.h"
#include "platform/Conventions.h"
#include "platform/Wildcard.h"

namespace kelvane {

namespace {

// Code n is bit n mod 8 of byte n div 8: the control codes and " * / : < > ? \ |.
constexpr std::array<std::uint8_t, 16> ForbiddenNameChars = {
    0xFF, 0xFF, 0xFF, 0xFF, 0x04, 0x84, 0x00, 0xD4, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x10};

bool IsForbidden(unsigned char c) {
  return c < 0x80 && (ForbiddenNameChars[c >> 3] >> (c & 7) & 1) != 0;
}

bool PassesFilter(const std::string& name, const std::string& filter) {
  if (!filter.empty() && filter[0] == '^') return !MatchesWildcard(name, filter.substr(1));
  return MatchesWildcard(name, filter);
}

}  // namespace

bool MatchesWildcard(std::string_view name, std::string_view mask) {
  if (name.empty() || mask.empty()) return false;
  std::string lowerName(name), lowerMask(mask);
  platform::LowerCase(lowerName);
  platform::LowerCase(lowerMask);
  return platform::WildcardMatch(lowerName, lowerMask);
}

bool IsPlainFileName(std::string_view name) {
  for (const char c : FileNamePart(name)) {
    if (IsForbidden(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

TDirectoryListing ListDirectory(const std::string& directory, const std::string& mask) {
  TDirectoryListing listing;
  listing.ListedDirectory = directory;
  if (directory.empty()) return listing;
  if (listing.ListedDirectory.back() != platform::kConventions.ListingSeparator) {
    listing.ListedDirectory += platform::kConventions.ListingSeparator;
  }
  const std::string filter = mask == "*.*" ? "*" : mask;

  platform::TFileSearch search;
  platform::TFindData entry;
  const std::string pattern = listing.ListedDirectory + (mask.empty() ? "*.*" : mask);
  bool found = search.FindFirst(pattern, entry);
  if (!found) listing.SearchError = platform::LastError();
  // Hidden, system and read-only entries are accepted like any other; so are directories, "."
  // and ".." among them, which ListedFileNames leaves out.
  for (; found; found = search.FindNext(entry)) {
    if (PassesFilter(entry.FileName, filter)) listing.AcceptedEntries.push_back(entry);
  }
  return listing;
}

std::vector<std::string> ListedFileNames(const TDirectoryListing& listing) {
  std::vector<std::string> names;
  for (const platform::TFindData& entry : listing.AcceptedEntries) {
    // Nor a FIFO or a device: reading one could wait for ever.
    if ((entry.Attributes & (platform::kAttributeDirectory | platform::kAttributeDevice)) != 0) {
      continue;
    }
    names.push_back(listing.ListedDirectory + entry.FileName);
  }
  return names;
}

void ReportThroughShortName(const std::string& name, const TOptions& options) {
  platform::TFileSearch search;
  platform::TFindData entry;
  bool found = search.FindFirst(name, entry);
  // Only directories are passed over; hidden and system files count.
  while (found && (entry.Attributes & platform::kAttributeDirectory) != 0) {
    found = search.FindNext(entry);
  }
  search.Close();
  if (!found) {
    WriteLine("Error - File not Exists: " + ShownText(name));
    return;
  }
  ReportFile(DirectoryPart(name) + entry.AlternateFileName, name, options);
}

namespace {

// The reason a target that found nothing to report gives: the system's, given the code of the
// failure that stopped it (0 when entries were found but none was a file).
std::string WhyNothing(const std::string& directory, std::uint32_t error) {
  if (error == 0 || error == platform::kErrorNoMatch) return "no matching file";
  // On POSIX a folder's name may hold "*" and "?"; where no such folder exists, the user most
  // likely meant a wildcard.
  if (directory.find_first_of("*?") != std::string::npos &&
      platform::FileAttributes(directory) == platform::kInvalidFileAttributes) {
    return "wildcard in the folder part";
  }
  return platform::ErrorText(error);
}

// What one look at an exact name finds; taken by whichever thread is free.
struct TExactLook {
  std::uint32_t Attributes = platform::kInvalidFileAttributes;
  std::uint32_t Error = 0;           // why there is no entry (LastError)
  std::optional<std::string> Field;  // the line's field, where the name opened as a file
};

TExactLook LookAtExactName(const std::string& name, TLineContent content) {
  TExactLook look;
  look.Attributes = platform::FileAttributes(name);
  if (look.Attributes == platform::kInvalidFileAttributes) {
    look.Error = platform::LastError();
  } else if ((look.Attributes & platform::kAttributeDirectory) == 0) {
    // The name was just seen to be a file: it is opened without another look.
    look.Field = ListedFileField(name, content);
  }
  return look;
}

// Reports the one entry that name denotes, as the look found it. Returns why there was no line,
// or empty.
std::string ReportExactName(const std::string& directory, const std::string& name,
                            const TExactLook& look, const TOptions& options) {
  if (look.Attributes == platform::kInvalidFileAttributes) return WhyNothing(directory, look.Error);
  if ((look.Attributes & platform::kAttributeDirectory) != 0) return "Is a directory";
  if (look.Field) {
    WriteReportLine(*look.Field, name, options);
  } else {
    ReportFile(name, name, options);
  }
  return {};
}

// Reports each file of the directory that the mask selects, in listing order. Returns why there
// was no line, or empty.
std::string ReportListedFiles(const std::string& directory, const std::string& mask,
                              const TOptions& options) {
  // The whole listing is taken, and let go, before the first file is processed.
  std::uint32_t searchError = 0;
  std::vector<std::string> files;
  {
    const TDirectoryListing listing = ListDirectory(directory, mask);
    searchError = listing.SearchError;
    files = ListedFileNames(listing);
  }
  // The listing only holds entries that are no directories, so each is
  // opened straight away, by this thread or a second one, while the lines go
  // out in listing order. Only a name that does not open as a file is looked
  // at again, as every name once was: one that no longer exists, or is a
  // directory now, is passed over, and one that exists yet cannot be opened
  // gets its line.
  bool reported = false;
  ForEachInOrder<std::optional<std::string>>(
      files.size(), [&](std::size_t i) { return ListedFileField(files[i], options.Content); },
      [&](std::size_t i, const std::optional<std::string>& field) {
        const std::string& current = files[i];
        if (field) {
          WriteReportLine(*field, current, options);
          reported = true;
        } else if (IsExistingFile(current)) {
          ReportFile(current, current, options);
          reported = true;
        } else if (!IsPlainFileName(current)) {
          ReportThroughShortName(current, options);
          reported = true;
        }
      });
  return reported ? std::string() : WhyNothing(directory, searchError);
}

// One line on standard error, after the lines standard output holds so far.
void WriteNotice(const std::string& target, const std::string& reason) {
  FlushStdOut();
  platform::WriteStd(platform::TStdStream::Error, "kelvane: " + ShownText(target) + ": " + reason +
                                                      std::string(platform::kConventions.LineEnd));
}

}  // namespace

namespace {

// A target's folder (where a target without one looks, by the system's convention) and its last
// component ("*.*" when it has none).
struct TTargetParts {
  std::string Directory;
  std::string Mask;
};

TTargetParts SplitTarget(const std::string& target) {
  TTargetParts parts{DirectoryPart(target), FileNamePart(target)};
  if (parts.Directory.empty()) {
    parts.Directory = platform::kConventions.BareTargetsInProgramFolder
                          ? DirectoryPart(platform::ModuleFileName())
                          : std::string(".") + platform::kConventions.ListingSeparator;
  }
  if (parts.Mask.empty()) parts.Mask = "*.*";
  return parts;
}

// Whether the target's last component is that exact entry, not a mask
// (standard input is neither).
bool IsExactTarget(const std::string& target) {
  const std::string last = FileNamePart(target);
  return platform::kConventions.ExactNamesExact && !last.empty() &&
         target != kStandardInputTarget &&
         last.find_first_of("*?") == std::string::npos;
}

void ReportOutcome(const std::string& target, const std::string& why) {
  if (!why.empty() && platform::kConventions.NoticeForEmptyTarget) WriteNotice(target, why);
}

}  // namespace

void ExpandTarget(const std::string& target, const TOptions& options) {
  if (target == kStandardInputTarget) {
    ReportStandardInput(options);
    return;
  }
  const TTargetParts parts = SplitTarget(target);
  const std::string name = parts.Directory + parts.Mask;
  ReportOutcome(target,
                IsExactTarget(target)
                    ? ReportExactName(parts.Directory, name, LookAtExactName(name, options.Content), options)
                    : ReportListedFiles(parts.Directory, parts.Mask, options));
}

void ExpandTargets(const std::vector<std::string>& targets, const TOptions& options) {
  for (std::size_t first = 0; first < targets.size();) {
    std::size_t end = first;
    while (end < targets.size() && IsExactTarget(targets[end])) ++end;
    if (end == first) {
      ExpandTarget(targets[first++], options);
      continue;
    }
    // Exact names in a row, as the shell hands over the files of a folder, are looked at and
    // read by two threads, as the files of a listing are; their lines and notices go out in
    // order.
    ForEachInOrder<std::pair<TTargetParts, TExactLook>>(
        end - first,
        [&](std::size_t i) {
          TTargetParts parts = SplitTarget(targets[first + i]);
          TExactLook look = LookAtExactName(parts.Directory + parts.Mask, options.Content);
          return std::pair(std::move(parts), std::move(look));
        },
        [&](std::size_t i, const std::pair<TTargetParts, TExactLook>& found) {
          const auto& [parts, look] = found;
          ReportOutcome(
              targets[first + i],
              ReportExactName(parts.Directory, parts.Directory + parts.Mask, look, options));
        });
    first = end;
  }
}

}  // namespace kelvane
