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
  // Control bytes (0x01 to 0x1F and 0x7F) of a name are shown as "?" in a line, so that no name
  // can start a line of its own (else every byte is shown as it is).
  bool ControlBytesShownAsQuestionMark;
  // A target that yields no line at all says why on standard error (else it stays silent).
  bool NoticeForEmptyTarget;
};

inline constexpr TConventions kWin32Conventions = {":\\/", '\\', "\r\n", true, false, false, false};
inline constexpr TConventions kPosixConventions = {"/", '/', "\n", false, true, true, true};

#ifdef _WIN32
inline constexpr TConventions kConventions = kWin32Conventions;
#else
inline constexpr TConventions kConventions = kPosixConventions;
#endif

}  // namespace kelvane::platform
