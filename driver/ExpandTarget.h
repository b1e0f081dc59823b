#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Platform.h"

namespace kelvane {

// Expands one target argument (a file name or mask, with or without a
// directory; without one, the program's own directory) and reports each
// file it names through ReportFile. Only EInOutError escapes.
void ExpandTarget(const std::string& target, bool hashOnly);

// The entries of one directory that one mask selects, in delivery order.
struct TDirectoryListing {
  std::string ListedDirectory;  // always ends in "\" once listed
  std::vector<platform::TFindData> AcceptedEntries;
};

// Lists the entries of directory, of every attribute, whose long names mask
// (or an exclusion mask "^...") accepts. An empty directory gives an empty
// listing.
TDirectoryListing ListDirectory(const std::string& directory, const std::string& mask);

// Every accepted entry that is not a directory, as ListedDirectory + long
// name + line feed, in listing order.
std::string JoinNames(const TDirectoryListing& listing);

// True when mask ("*" any run, "?" exactly one byte) consumes the whole name,
// ignoring case by the 8-bit code page. An empty name or mask never matches.
bool MatchesWildcard(std::string_view name, std::string_view mask);

// True when the name's file-name part holds no byte of ForbiddenNameChars.
bool IsPlainFileName(std::string_view name);

// Reaches a listed name that does not open under its long name through its
// short name, reporting it under that long name; writes "Error - File not
// Exists: " and the full name when no such file is found.
void ReportThroughShortName(const std::string& name, bool hashOnly);

}  // namespace kelvane
