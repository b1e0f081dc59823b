#pragma once

// The only door to the operating system. Every operation stands for one
// Windows call and keeps its documented behaviour: the win32 backend makes
// that call, the posix backend emulates what the program relies on, under the
// conventions of its own system (platform/Conventions.h). Names are byte
// strings: in the system's 8-bit code page on Windows, on POSIX the very bytes
// the file system stores (any byte but "/" and the zero byte). On Windows a
// name that the "A" call refuses as too long goes to the matching "W" call.
// The operations are named apart from the Windows calls so that no
// <windows.h> macro can rename them.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane::platform {

// Attribute bits, with the values the Windows API gives them.
inline constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;
inline constexpr std::uint32_t kAttributeDirectory = 0x10;
inline constexpr std::uint32_t kAttributeArchive = 0x20;
// An entry that is neither a regular file nor a directory (POSIX: a FIFO, a
// socket, a device); reading it may wait or never end.
inline constexpr std::uint32_t kAttributeDevice = 0x40;
// A symbolic link (or another reparse point); it carries the directory bit where it leads to a
// directory, as Windows marks a link to a folder.
inline constexpr std::uint32_t kAttributeReparsePoint = 0x400;

// ---- Process -------------------------------------------------------------

// Called once by main before anything else. The posix backend keeps the
// argument words; the process keeps the signal dispositions it inherited.
void Initialize(int argc, char** argv);

// The command line as one byte string (GetCommandLineA). Returns false where
// the system hands over words already split (POSIX); then ArgumentWords()
// holds them.
bool CommandLine(std::string& line);

// The words after the program's own name, as the POSIX shell split them.
const std::vector<std::string>& ArgumentWords();

// The full path of the running program (GetModuleFileNameA, its buffer grown
// until the whole path fits; /proc/self/exe). Where POSIX cannot tell it, the
// name the program was started under; empty when there is none either.
std::string ModuleFileName();

// Ends the process with the exit code; standard output must be flushed first.
[[noreturn]] void Exit(int code);

// ---- File attributes and files -------------------------------------------

// The attribute bits of the entry a name denotes, or kInvalidFileAttributes
// (then LastError() tells why). A symbolic link whose target cannot be
// reached (dangling or looping) is an existing entry that is not a
// directory, as Windows reports a link it cannot open. POSIX marks an entry
// that is no regular file and no directory with kAttributeDevice.
std::uint32_t FileAttributes(const std::string& name);

// An open file; the handle closes itself, and is never copied.
class TFile {
 public:
  TFile();
  ~TFile();

  // Opens an existing file for reading, letting others read but not write it
  // (CreateFileA with GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING). Returns
  // false when it cannot be opened; LastError() then tells why. The opening
  // never waits: POSIX opens a FIFO without a writer at once, and its first
  // read waits for one.
  bool Open(const std::string& name);
  // Takes standard input, as the process inherited it, as a stream; its
  // bytes come exactly as they are written (Windows: ReadFile on the handle,
  // which translates nothing). Closing the file leaves standard input open.
  bool OpenStandardInput();
  bool IsOpen() const;
  // True for a source read from its start to its end that has no size and
  // cannot seek: standard input, and on POSIX whatever is no regular file (a
  // pipe, a FIFO, a character device).
  bool IsStream() const;
  // The size in bytes (the POSIX backend takes it at the open), or -1 when
  // it cannot be taken or the file is a stream.
  std::int64_t Size();
  // Moves to an absolute offset; false on failure, and always for a stream.
  bool Seek(std::int64_t offset);
  // Reads up to count bytes in one request, waiting for a stream's writer;
  // the number delivered, which may be fewer than asked before the end; 0
  // only at the end or on failure.
  std::size_t Read(void* buffer, std::size_t count);
  // True when every byte read so far is the file's as it stood at the open.
  // POSIX: the file opened is still linked, with the size, modification and
  // status-change times it had then (a removal, a rename of it or over its
  // name changes the last), and no read found the end or failed before that
  // size. Windows: no writer can open the file while this handle
  // is open, so an open file is always unchanged. A stream is unchanged
  // unless a read failed: it has no state to compare.
  bool Unchanged() const;
  void Close();

 private:
  struct TState;
  std::unique_ptr<TState> State;
};

// ---- Directory search ----------------------------------------------------

// The fields of WIN32_FIND_DATAA that the program reads. On POSIX a listed
// symbolic link has kAttributeReparsePoint, and kAttributeDirectory as well
// where it leads to a directory.
struct TFindData {
  std::uint32_t Attributes = 0;
  std::string FileName;           // long name, at most 260 bytes
  std::string AlternateFileName;  // short 8.3 name, empty when there is none
};

// One directory search (FindFirstFileA / FindNextFileA / FindClose).
class TFileSearch {
 public:
  TFileSearch();
  ~TFileSearch();

  // Starts a search for a directory followed by a last component that may
  // hold "*" and "?". Fails when the directory cannot be read, the pattern is
  // invalid (on Windows a wildcard in the directory part, which POSIX takes
  // as part of a folder's name) or nothing matches; LastError() then tells
  // why, kErrorNoMatch meaning that the directory was read.
  bool FindFirst(const std::string& pattern, TFindData& data);
  // The next matching entry; false at the end ("no more files").
  bool FindNext(TFindData& data);
  // Ends the search; harmless when none is open.
  void Close();
  bool IsOpen() const;

 private:
  struct TState;
  std::unique_ptr<TState> State;
};

// The nonzero code the last failed FileAttributes or FindFirst left
// (GetLastError; on POSIX the errno value or kErrorNoMatch).
std::uint32_t LastError();

// The code of a search that read its directory and found no matching entry
// (ERROR_FILE_NOT_FOUND; on POSIX a code of its own that no system call gives).
extern const std::uint32_t kErrorNoMatch;

// The code the system gives for memory it cannot supply (ENOMEM,
// ERROR_NOT_ENOUGH_MEMORY).
extern const std::uint32_t kErrorNoMemory;

// True when the code says the system ran out of something that is no file's
// fault: descriptors or handles, memory, threads or processes.
bool IsResourceShortage(std::uint32_t code);

// True when the code says a name denotes no file to open: nothing at all (or
// no longer), or a directory.
bool IsNoFile(std::uint32_t code);

// The system's short text for a code LastError() gave, without a line end or
// a final full stop (FormatMessageA; strerror on POSIX).
std::string ErrorText(std::uint32_t code);

// ---- Code page -------------------------------------------------------------

// Lower-cases the bytes in place by the system's 8-bit code page
// (CharLowerBuffA; ASCII on POSIX).
void LowerCase(std::string& text);

// Converts a text from the 8-bit code page to the console's OEM code page
// (CharToOemA); unchanged on POSIX.
std::string ToOem(std::string_view text);

// A name (8-bit code page bytes) as UTF-8, for output that must be UTF-8
// (MultiByteToWideChar from the ANSI code page, then WideCharToMultiByte to
// UTF-8). The bytes as they are on POSIX, where names have no code page, and
// where the code page finds them malformed.
std::string ToUtf8(std::string_view name);

// ---- Standard output and standard error ----------------------------------

enum class TStdStream { Output, Error };

// True when the stream is a character device (a console or terminal).
bool IsCharacterDevice(TStdStream stream);

// Writes all bytes as they are; false when not all of them could be written,
// LastError() then telling why.
// A write that would block (a non-blocking pipe that is full) waits until
// the stream takes bytes again.
bool WriteStd(TStdStream stream, std::string_view bytes);

}  // namespace kelvane::platform
