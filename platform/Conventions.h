#pragma once

// The conventions in which the two builds differ, each the one its own system's users rely on:
// the Windows build keeps those of a Win32 console program, the native POSIX build those of a
// Unix tool. This is the one place that chooses between them; the README's table of differences
// says the same in words.

#include <string_view>

namespace kelvane::platform {

struct TConventions {
  // The bytes that separate the components of a path.
  std::string_view Separators;
  // The separator a directory listing appends to a directory that does not end in it.
  char ListingSeparator;
  // What ends every line of standard output and of the fatal diagnostic.
  std::string_view LineEnd;
  // A target without a directory refers to the running program's own folder (else to the
  // current folder).
  bool BareTargetsInProgramFolder;
  // A last component without "*" or "?" names exactly that entry, byte for byte, found by one
  // look-up of that name (else it is a mask like any other, matched without regard to case).
  bool ExactNamesExact;
  // A target that yields no line at all says why on standard error (else it stays silent).
  bool NoticeForEmptyTarget;
  // A folder below a target's folder that cannot be read says why on standard error, and the
  // run goes on (else it is passed over without a word).
  bool NoticeForUnreadFolder;
  // A line names its file by the target's directory part as the user wrote it and the file's
  // name (else by the file's name alone).
  bool PathAsGiven;
  // The exit status is 1 when any target gave an error line or a notice (else 0 at every
  // normal end).
  bool ExitStatusTellsFailure;
  // The fatal diagnostic is one line "kelvane: <what failed>: <reason>" (else the Windows
  // console program's "Exception <class> in module <file> at <address>." and the message).
  bool UnixDiagnostics;
  // The usage screen names every option, the wildcards and "-" (else it keeps the five lines a
  // Windows user has always seen).
  bool FullUsage;
  // A listing's files come sorted by the bytes of their names, and a walk down a tree follows
  // the bytes of the whole paths, as "find | LC_ALL=C sort" (else the files come in the order
  // the system delivers them, each folder's before its subfolders).
  bool ListingsSorted;
  // A listed name that no longer opens by its long name may be reached through its short (8.3)
  // name (else there are no short names).
  bool ShortNames;
};

inline constexpr TConventions kWin32Conventions = {
    .Separators = ":\\/",
    .ListingSeparator = '\\',
    .LineEnd = "\r\n",
    .BareTargetsInProgramFolder = true,
    .ExactNamesExact = false,
    .NoticeForEmptyTarget = false,
    .NoticeForUnreadFolder = false,
    .PathAsGiven = false,
    .ExitStatusTellsFailure = false,
    .UnixDiagnostics = false,
    .FullUsage = false,
    .ListingsSorted = false,
    .ShortNames = true,
};

inline constexpr TConventions kPosixConventions = {
    .Separators = "/",
    .ListingSeparator = '/',
    .LineEnd = "\n",
    .BareTargetsInProgramFolder = false,
    .ExactNamesExact = true,
    .NoticeForEmptyTarget = true,
    .NoticeForUnreadFolder = true,
    .PathAsGiven = true,
    .ExitStatusTellsFailure = true,
    .UnixDiagnostics = true,
    .FullUsage = true,
    .ListingsSorted = true,
    .ShortNames = false,
};

#ifdef _WIN32
inline constexpr TConventions kConventions = kWin32Conventions;
#else
inline constexpr TConventions kConventions = kPosixConventions;
#endif

}  // namespace kelvane::platform
