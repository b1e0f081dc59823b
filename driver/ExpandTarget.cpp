#include "driver/ExpandTarget.h"

#include <array>

#include "base/StdOut.h"
#include "driver/PathHelpers.h"
#include "driver/ReportFile.h"
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
  if (listing.ListedDirectory.back() != '\\') listing.ListedDirectory += '\\';
  const std::string filter = mask == "*.*" ? "*" : mask;

  platform::TFileSearch search;
  platform::TFindData entry;
  const std::string pattern = listing.ListedDirectory + (mask.empty() ? "*.*" : mask);
  // Hidden, system and read-only entries are accepted like any other; so are directories, "."
  // and ".." among them, which JoinNames leaves out.
  for (bool found = search.FindFirst(pattern, entry); found; found = search.FindNext(entry)) {
    if (PassesFilter(entry.FileName, filter)) listing.AcceptedEntries.push_back(entry);
  }
  return listing;
}

std::string JoinNames(const TDirectoryListing& listing) {
  std::string names;
  for (const platform::TFindData& entry : listing.AcceptedEntries) {
    if ((entry.Attributes & platform::kAttributeDirectory) != 0) continue;
    names += listing.ListedDirectory;
    names += entry.FileName;
    names += '\n';
  }
  return names;
}

void ReportThroughShortName(const std::string& name, bool hashOnly) {
  platform::TFileSearch search;
  platform::TFindData entry;
  bool found = search.FindFirst(name, entry);
  // Only directories are passed over; hidden and system files count.
  while (found && (entry.Attributes & platform::kAttributeDirectory) != 0) {
    found = search.FindNext(entry);
  }
  search.Close();
  if (!found) {
    WriteLine("Error - File not Exists: " + name);
    return;
  }
  ReportFile(DirectoryPart(name) + entry.AlternateFileName, name, hashOnly);
}

void ExpandTarget(const std::string& target, bool hashOnly) {
  std::string directory = DirectoryPart(target);
  if (directory.empty()) directory = DirectoryPart(platform::ModuleFileName());
  std::string mask = FileNamePart(target);
  if (mask.empty()) mask = "*.*";

  // The whole listing is taken before the first file is processed.
  const std::string names = JoinNames(ListDirectory(directory, mask));

  std::size_t start = 0;
  while (start < names.size()) {
    const std::size_t end = names.find('\n', start);
    const std::string current = names.substr(start, end - start);
    if (IsExistingFile(current)) {
      ReportFile(current, current, hashOnly);
    } else if (!IsPlainFileName(current)) {
      ReportThroughShortName(current, hashOnly);
    }
    start = end + 1;
  }
}

}  // namespace kelvane
