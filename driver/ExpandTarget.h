#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "driver/Options.h"
#include "driver/ReportFile.h"
#include "platform/Platform.h"

namespace kelvane {

// Expands one target argument (a file name or mask, with or without a
// directory) and reports each file it names through ReportFile, once and
// under its own name. Without a directory, the target refers to the
// program's own folder or to the current one, as the system's conventions
// say (platform/Conventions.h); so do they whether a last component without
// "*" or "?" is that exact entry, and whether a target that yields no line
// writes a notice with the reason to standard error. A line shows the target's
// directory part as written and the file's name, or the file's name alone, as
// they say too. A last component "^REST" selects every file of its folder
// whose name REST does not match. The target "-" is standard input
// (ReportStandardInput). With options.Recursive a target that names
// a folder, or a mask in one, takes every folder below as well, at any depth
// and in walk order (see ListDirectory), the mask choosing among the files of
// each; a symbolic link to a folder is never followed, and a file's name is
// its path below the target's folder. A folder below that cannot be read gives
// a notice where the conventions say so, and the run goes on. Returns true
// when the target gave lines, each a digest or a link, and every folder was
// read. Only EInOutError escapes, and the system's lack of a resource that no
// retry cured (EOutOfResources, EOutOfMemory).
bool ExpandTarget(const std::string& target, const TOptions& options);

// Expands each target in turn, as ExpandTarget does, with the same lines
// and notices in the same order; exact names in a row are opened and read
// two at a time, and one whose look lacked a resource is looked at again
// with the calling thread alone. Returns true when every target did.
bool ExpandTargets(const std::vector<std::string>& targets, const TOptions& options);

// The entries of one directory that one mask selects, in delivery order, or
// sorted by the bytes of their names where the system's conventions say so;
// in a walk down a tree, in the order the walk takes them.
struct TDirectoryListing {
  std::string ListedDirectory;    // ends in the listing separator once listed
  std::uint32_t SearchError = 0;  // why the search failed (LastError); 0 when it ran
  std::vector<platform::TFindData> AcceptedEntries;
};

// Lists the entries of directory, of every attribute, whose long names mask
// accepts; an exclusion "^REST" accepts every name REST does not match. An
// empty directory gives an empty listing. withFolders (a walk down a tree)
// lists every subfolder as well, whatever the mask, and no other directory:
// neither "." and "..", nor a symbolic link to a folder. Sorted, a folder
// then comes where the paths below it sort, as its name and the separator
// do; unsorted, the files come first, then the folders, each in delivery
// order.
TDirectoryListing ListDirectory(const std::string& directory, const std::string& mask,
                                bool withFolders = false);

// True when mask ("*" any run, "?" exactly one byte) consumes the whole name,
// ignoring case by the 8-bit code page. An empty name or mask never matches.
bool MatchesWildcard(std::string_view name, std::string_view mask);

// True when the name's file-name part holds no byte of ForbiddenNameChars.
bool IsPlainFileName(std::string_view name);

// Reaches a listed name that does not open under its long name through its
// short name, reporting it as shownName; writes "Error - File not Exists: "
// and the full name when no such file is found. Writes one line, and returns
// whether it holds a digest or a link.
bool ReportThroughShortName(const std::string& name, const TShownName& shownName,
                            const TOptions& options);

}  // namespace kelvane
