#include "driver/ExpandTarget.h"

#include <algorithm>
#include <array>
#include <exception>
#include <optional>
#include <utility>
#include <vector>

#include "base/Exceptions.h"
#include "base/StdOut.h"
#include "driver/OrderedWork.h"
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

// A last component "^REST" selects every file of its folder whose name REST does not match.
bool IsExclusion(std::string_view mask) {
  return !mask.empty() && mask[0] == '^';
}

bool PassesFilter(const std::string& name, const std::string& filter) {
  if (IsExclusion(filter)) return !MatchesWildcard(name, filter.substr(1));
  return MatchesWildcard(name, filter);
}

bool IsDirectory(const platform::TFindData& entry) {
  return (entry.Attributes & platform::kAttributeDirectory) != 0;
}

// A folder a walk goes down into: no link, which might lead back up, and neither "." nor "..".
bool IsSubfolder(const platform::TFindData& entry) {
  return IsDirectory(entry) && (entry.Attributes & platform::kAttributeReparsePoint) == 0 &&
         entry.FileName != "." && entry.FileName != "..";
}

// Whether a comes before b as the paths below them sort by their bytes: a folder as its name and
// the separator, since every path below it goes on so.
bool BeforeAsPaths(const platform::TFindData& a, const platform::TFindData& b) {
  // Bytes compare unsigned, as in memcmp. A name holds no separator, so where one name is the
  // start of the other, the byte that follows it, the separator or the end decides.
  const std::string_view x = a.FileName, y = b.FileName;
  const std::size_t common = std::min(x.size(), y.size());
  if (const int order = x.substr(0, common).compare(y.substr(0, common)); order != 0) {
    return order < 0;
  }
  const auto after = [common](std::string_view name, const platform::TFindData& entry) -> int {
    if (common < name.size()) return static_cast<unsigned char>(name[common]);
    return IsDirectory(entry) ? platform::kConventions.ListingSeparator : -1;
  };
  return after(x, a) < after(y, b);
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

TDirectoryListing ListDirectory(const std::string& directory, const std::string& mask,
                                bool withFolders) {
  TDirectoryListing listing;
  listing.ListedDirectory = directory;
  if (directory.empty()) return listing;
  if (listing.ListedDirectory.back() != platform::kConventions.ListingSeparator) {
    listing.ListedDirectory += platform::kConventions.ListingSeparator;
  }
  const std::string filter = mask == "*.*" ? "*" : mask;

  platform::TFileSearch search;
  platform::TFindData entry;
  // An exclusion, and a walk, look at every entry of the folder.
  const std::string pattern = listing.ListedDirectory + (mask.empty()                       ? "*.*"
                                                         : IsExclusion(mask) || withFolders ? "*"
                                                                                            : mask);
  bool found = search.FindFirst(pattern, entry);
  if (!found) listing.SearchError = platform::LastError();
  // Hidden, system and read-only entries are accepted like any other; outside a walk, so are
  // directories, "." and ".." among them, which are never reported.
  for (; found; found = search.FindNext(entry)) {
    const bool accepted = withFolders && IsDirectory(entry) ? IsSubfolder(entry)
                                                            : PassesFilter(entry.FileName, filter);
    if (accepted) listing.AcceptedEntries.push_back(entry);
  }
  if (platform::kConventions.ListingsSorted) {
    // By the bytes, as "LC_ALL=C ls" sorts names and "LC_ALL=C sort" the paths of a tree.
    std::sort(listing.AcceptedEntries.begin(), listing.AcceptedEntries.end(), BeforeAsPaths);
  } else {
    std::stable_partition(listing.AcceptedEntries.begin(), listing.AcceptedEntries.end(),
                          [](const platform::TFindData& e) { return !IsDirectory(e); });
  }
  return listing;
}

bool ReportThroughShortName(const std::string& name, const TShownName& shownName,
                            const TOptions& options) {
  platform::TFileSearch search;
  platform::TFindData entry;
  bool found = search.FindFirst(name, entry);
  // Only directories are passed over; hidden and system files count.
  while (found && IsDirectory(entry)) {
    found = search.FindNext(entry);
  }
  search.Close();
  if (!found) {
    WriteMissingFileLine(name, options);
    return false;
  }
  return ReportFile(DirectoryPart(name) + entry.AlternateFileName, shownName, options);
}

namespace {

// What one target came to: why it gave no line (empty when it gave one), and whether any of its
// lines was an error line.
struct TOutcome {
  std::string Why;
  bool ErrorLine = false;
  bool FolderUnread = false;  // a folder below the target's could not be read
};

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
  std::uint32_t Error = 0;  // why there is no entry (LastError)
  TFileLook File;           // what opening it found, where the name is a file
};

TExactLook LookAtExactName(const std::string& name, TLineContent content) {
  TExactLook look;
  look.Attributes = platform::FileAttributes(name);
  if (look.Attributes == platform::kInvalidFileAttributes) {
    look.Error = platform::LastError();
    if (platform::IsResourceShortage(look.Error)) look.File.Shortage = look.Error;
  } else if ((look.Attributes & platform::kAttributeDirectory) == 0) {
    // The name was just seen to be a file: it is opened without another look.
    look.File = LookAtFile(name, content);
  }
  return look;
}

// Reports the one entry that name denotes, as the look found it, shown as shownName. Raises the
// shortage the look met (see RaiseShortage).
TOutcome ReportExactName(const std::string& directory, const std::string& name,
                         const std::string& shownName, const TExactLook& look,
                         const TOptions& options) {
  if (look.File.Shortage != 0) RaiseShortage(look.File, shownName);
  if (look.Attributes == platform::kInvalidFileAttributes) {
    return {WhyNothing(directory, look.Error)};
  }
  if ((look.Attributes & platform::kAttributeDirectory) != 0) return {"Is a directory"};
  if (look.File.Found) return {"", !WriteReportLine(*look.File.Found, shownName, options)};
  // Gone, or a directory, since the look: looked at once more, as every name once was.
  if (platform::IsNoFile(look.File.OpenError)) return {"", !ReportFile(name, shownName, options)};
  return {"", !WriteReportLine(TInfoIdentities::Failure(kErrorInFile), shownName, options)};
}

// Reports the listed file current as its look found it. Returns whether the look is to be taken
// again with the calling thread alone, and sets reported and errorLine by the line it wrote.
bool ReportListedFile(const std::string& current, const TShownName& shownName,
                      const TFileLook& look, bool alone, const TOptions& options, TOutcome& outcome,
                      bool& reported) {
  if (look.Shortage != 0) {
    if (!alone) return false;
    RaiseShortage(look, shownName.Path);
  }
  bool good = true;
  reported = true;
  // Only a name that does not open as a file is looked at again: one that no longer exists, or
  // is a directory now, is passed over, and one that exists yet cannot be opened gets its line.
  if (look.Found) {
    good = WriteReportLine(*look.Found, shownName, options);
  } else if (!platform::kConventions.ShortNames && !platform::IsNoFile(look.OpenError)) {
    // It exists, yet cannot be reached: no permission on it or on its folder.
    good = WriteReportLine(TInfoIdentities::Failure(kErrorInFile), shownName, options);
  } else if (IsExistingFile(current)) {
    good = ReportFile(current, shownName, options);
  } else if (platform::kConventions.ShortNames && !IsPlainFileName(current)) {
    good = ReportThroughShortName(current, shownName, options);
  } else {
    reported = false;
  }
  outcome.ErrorLine = outcome.ErrorLine || !good;
  return true;
}

// One line on standard error, after the lines standard output holds so far.
void WriteNotice(const std::string& target, const std::string& reason) {
  FlushStdOut();
  platform::WriteStd(platform::TStdStream::Error, "kelvane: " + ShownText(target) + ": " + reason +
                                                      std::string(platform::kConventions.LineEnd));
}

// What a walk down a tree comes to next, in order: a file to report, a folder below the
// target's that could not be read, or what listing a folder raised.
struct TWalkItem {
  std::string OpenName;   // a file's name to open; empty for a folder not read
  std::string ShownPath;  // the file's or the folder's path as given
  std::uint32_t Error = 0;
  std::exception_ptr Raised;  // what listing the folder raised
};

// A depth-first walk down the folders below a target's folder (with options.Recursive; else the
// one listing of that folder), in listing order: one listing a level is held, never a list of
// the tree.
class TTreeWalk {
 public:
  TTreeWalk(const std::string& mask, bool recursive) : Mask(mask), Recursive(recursive) {}

  // Lists the target's folder; returns why its search failed (0 when it ran).
  std::uint32_t Start(const std::string& directory, const std::string& shownDirectory) {
    Levels.push_back({ListDirectory(directory, Mask, Recursive), 0, shownDirectory});
    return Levels.back().Listing.SearchError;
  }

  // Whether more than one item may come.
  bool MayHoldMany() const { return Recursive || Levels.back().Listing.AcceptedEntries.size() > 1; }

  // Fills item with the next file, or folder not read; false at the end of the walk. Never
  // raises: what listing a folder raised comes as an item.
  bool Next(TWalkItem& item) {
    try {
      return Advance(item);
    } catch (...) {
      Levels.clear();
      item = TWalkItem{"", "", 0, std::current_exception()};
      return true;
    }
  }

 private:
  struct TLevel {
    TDirectoryListing Listing;
    std::size_t At;
    std::string ShownDirectory;
  };

  bool Advance(TWalkItem& item) {
    while (!Levels.empty()) {
      TLevel& level = Levels.back();
      if (level.At == level.Listing.AcceptedEntries.size()) {
        Levels.pop_back();
        continue;
      }
      const platform::TFindData& entry = level.Listing.AcceptedEntries[level.At++];
      const std::string openName = level.Listing.ListedDirectory + entry.FileName;
      const std::string shownPath = level.ShownDirectory + entry.FileName;
      // Nor a FIFO or a device: reading one could wait for ever.
      if ((entry.Attributes & platform::kAttributeDevice) != 0) continue;
      if (!IsDirectory(entry)) {
        item = TWalkItem{openName, shownPath, 0, nullptr};
        return true;
      }
      if (!Recursive) continue;  // a directory of a plain listing is never reported
      TDirectoryListing listing = ListDirectory(openName, Mask, true);
      const std::uint32_t error = listing.SearchError;
      if (platform::IsResourceShortage(error)) {
        throw EOutOfResources(platform::ErrorText(error), shownPath, error);
      }
      Levels.push_back(
          {std::move(listing), 0, shownPath + platform::kConventions.ListingSeparator});
      // A folder gone since the listing is passed over, as a file gone is.
      if (error != 0 && error != platform::kErrorNoMatch && !platform::IsNoFile(error)) {
        item = TWalkItem{"", shownPath, error, nullptr};
        return true;
      }
    }
    return false;
  }

  const std::string& Mask;
  const bool Recursive;
  std::vector<TLevel> Levels;
};

// Reports the files of the directory that the mask selects, and with options.Recursive those of
// every folder below, each shown under shownDirectory and its path below the directory. The
// files are opened straight away, by this thread or a second one, while the lines go out in
// order.
TOutcome ReportListedFiles(const std::string& directory, const std::string& mask,
                           const std::string& shownDirectory, const TOptions& options) {
  TTreeWalk walk(mask, options.Recursive);
  const std::uint32_t searchError = walk.Start(directory, shownDirectory);
  if (platform::IsResourceShortage(searchError)) {
    throw EOutOfResources(platform::ErrorText(searchError), shownDirectory + mask, searchError);
  }
  TOutcome outcome;
  bool reportedAny = false;
  ForEachTakenInOrder<TWalkItem, TFileLook>(
      walk.MayHoldMany(), [&](TWalkItem& item) { return walk.Next(item); },
      [&](const TWalkItem& item) {
        return item.OpenName.empty() ? TFileLook{} : LookAtFile(item.OpenName, options.Content);
      },
      [&](const TWalkItem& item, const TFileLook& look, bool alone) {
        if (item.Raised) std::rethrow_exception(item.Raised);
        if (item.OpenName.empty()) {
          outcome.FolderUnread = true;
          if (platform::kConventions.NoticeForUnreadFolder) {
            WriteNotice(item.ShownPath, platform::ErrorText(item.Error));
          }
          return true;
        }
        bool reported = false;
        const TShownName shown(item.ShownPath, shownDirectory.size());
        if (!ReportListedFile(item.OpenName, shown, look, alone, options, outcome, reported)) {
          return false;
        }
        reportedAny = reportedAny || reported;
        return true;
      });
  if (!reportedAny) outcome.Why = WhyNothing(directory, searchError);
  return outcome;
}

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

// Whether the target's last component is that exact entry, not a mask or an exclusion
// (standard input is neither).
bool IsExactTarget(const std::string& target) {
  const std::string last = FileNamePart(target);
  return platform::kConventions.ExactNamesExact && !last.empty() && !IsExclusion(last) &&
         target != kStandardInputTarget &&
         last.find_first_of("*?") == std::string::npos;
}

// Reports the one entry an exact target names, as the look found it; with options.Recursive a
// folder (a link to one too, the user having named it) is walked down, its files shown under the
// target and the separator.
TOutcome ReportExactTarget(const std::string& target, const TTargetParts& parts,
                           const TExactLook& look, const TOptions& options) {
  const std::string name = parts.Directory + parts.Mask;
  if (options.Recursive && look.Attributes != platform::kInvalidFileAttributes &&
      (look.Attributes & platform::kAttributeDirectory) != 0) {
    const char separator = platform::kConventions.ListingSeparator;
    return ReportListedFiles(name + separator, "*", target + separator, options);
  }
  return ReportExactName(parts.Directory, name, target, look, options);
}

// Writes the notice a target that yielded no line gives; true when the target gave only digests
// or links.
bool ReportOutcome(const std::string& target, const TOutcome& outcome) {
  if (!outcome.Why.empty() && platform::kConventions.NoticeForEmptyTarget) {
    WriteNotice(target, outcome.Why);
  }
  return outcome.Why.empty() && !outcome.ErrorLine && !outcome.FolderUnread;
}

}  // namespace

bool ExpandTarget(const std::string& target, const TOptions& options) {
  if (target == kStandardInputTarget) return ReportStandardInput(options);
  const TTargetParts parts = SplitTarget(target);
  return ReportOutcome(
      target, IsExactTarget(target)
                  ? ReportExactTarget(
                        target, parts,
                        LookAtExactName(parts.Directory + parts.Mask, options.Content), options)
                  : ReportListedFiles(parts.Directory, parts.Mask, DirectoryPart(target), options));
}

bool ExpandTargets(const std::vector<std::string>& targets, const TOptions& options) {
  bool allGood = true;
  for (std::size_t first = 0; first < targets.size();) {
    std::size_t end = first;
    while (end < targets.size() && IsExactTarget(targets[end])) ++end;
    if (end == first) {
      allGood = ExpandTarget(targets[first++], options) && allGood;
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
        [&](std::size_t i, const std::pair<TTargetParts, TExactLook>& found, bool alone) {
          const auto& [parts, look] = found;
          if (look.File.Shortage != 0 && !alone) return false;
          const std::string& target = targets[first + i];
          allGood =
              ReportOutcome(target, ReportExactTarget(target, parts, look, options)) && allGood;
          return true;
        });
    first = end;
  }
  return allGood;
}

}  // namespace kelvane
