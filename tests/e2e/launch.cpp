// Starts kelvane.exe with exact command lines and checks what it writes.
//
// A launcher that hands over a list of arguments quotes them in its own way,
// so some command lines can only be given through CreateProcessA. The program
// splits its command line itself; each case below is built so that a wrong
// split would name a file that exists and so show up in the output, while the
// right split names nothing or a different file.
//
// Usage: e2e_launch <path of kelvane.exe>. Prints one line per failed check
// and a closing "N passed, N failed" line; the exit code is 1 on any failure.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

// A metainfo file "d4:infoiNee" has the info value "iNe"; these are the SHA-1
// digests of "i1e" ... "i6e".
const char* const kDigest[] = {
    "",
    "1C9D0D26A5211FC7A715823784AAAFAEAF7E88C7",
    "C3EB21F2ECE5514EF440873008BA8D1C1057C788",
    "149A51B5B69FE7EB7A429FDB52321896C4A60EF7",
    "9AA9494730A59F747A2748345B5040291EA738B0",
    "FD512D5838B7F0C9FA46DEBF0D0F0D0D28EA81A1",
    "16C1A267CB5A984576C3E291EDD16C229EADBB46",
};

struct Run {
  DWORD code = 0;
  std::string out;
  std::string err;
};

int passed = 0;
int failed = 0;
std::string folder;  // the test's folder, ending in "\"; its name holds a space
std::string program;

std::string Printable(const std::string& text) {
  std::string shown;
  for (unsigned char c : text) {
    if (c == '\r') {
      shown += "\\r";
    } else if (c == '\n') {
      shown += "\\n";
    } else if (c < 0x20 || c >= 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      shown += hex;
    } else {
      shown += static_cast<char>(c);
    }
  }
  return shown;
}

void Check(bool ok, const std::string& what, const std::string& expected, const std::string& got) {
  if (ok) {
    ++passed;
    return;
  }
  ++failed;
  std::printf("FAIL: %s\n  expected: %s\n  got:      %s\n", Printable(what).c_str(),
              Printable(expected).c_str(), Printable(got).c_str());
}

void CheckEqual(const std::string& what, const std::string& expected, const std::string& got) {
  Check(expected == got, what, expected, got);
}

std::string ReadAll(HANDLE pipe) {
  std::string data;
  char buffer[4096];
  DWORD count = 0;
  while (ReadFile(pipe, buffer, sizeof buffer, &count, nullptr) && count > 0) {
    data.append(buffer, count);
  }
  return data;
}

// Starts the program's copy with exactly this command line, in the test's
// folder. Without a reader for standard output, that pipe's read end is
// closed before the start, so every write to it fails.
Run Start(const std::string& commandLine, bool stdoutReader = true) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE outRead, outWrite, errRead, errWrite;
  if (!CreatePipe(&outRead, &outWrite, &inherit, 0) ||
      !CreatePipe(&errRead, &errWrite, &inherit, 0)) {
    std::printf("cannot create pipes\n");
    std::exit(2);
  }
  SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
  if (!stdoutReader) CloseHandle(outRead);

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = outWrite;
  startup.hStdError = errWrite;
  PROCESS_INFORMATION process = {};
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  if (!CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                      folder.c_str(), &startup, &process)) {
    std::printf("cannot start %s (error %lu)\n", program.c_str(), GetLastError());
    std::exit(2);
  }
  CloseHandle(outWrite);
  CloseHandle(errWrite);
  Run run;
  if (stdoutReader) {
    run.out = ReadAll(outRead);
    CloseHandle(outRead);
  }
  run.err = ReadAll(errRead);
  CloseHandle(errRead);
  WaitForSingleObject(process.hProcess, INFINITE);
  GetExitCodeProcess(process.hProcess, &run.code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return run;
}

// Runs the program with token 0 quoted and `arguments` behind it verbatim;
// it must end normally.
Run StartNormal(const std::string& arguments) {
  Run run = Start("\"" + program + "\"" + arguments);
  CheckEqual("exit code of [" + arguments + "]", "0", std::to_string(run.code));
  CheckEqual("standard error of [" + arguments + "]", "", run.err);
  return run;
}

void ExpectOutput(const std::string& arguments, const std::string& expected) {
  CheckEqual("output of [" + arguments + "]", expected, StartNormal(arguments).out);
}

std::string Line(int file, const std::string& name) {
  return std::string(kDigest[file]) + "  " + name + "\r\n";
}

std::string SortedLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end + 2 - start));
  }
  std::sort(lines.begin(), lines.end());
  std::string joined;
  for (const std::string& line : lines) joined += line;
  return joined + text.substr(start);
}

void WriteFileBytes(const std::string& name, const std::string& bytes) {
  std::ofstream(folder + name, std::ios::binary) << bytes;
}

std::string Torrent(int n) {
  return "d4:infoi" + std::to_string(n) + "ee";
}

// The files of the folder. Where a case's right split names nothing, a
// wrong split names one of these.
void MakeFiles() {
  WriteFileBytes("a.torrent", Torrent(1));
  WriteFileBytes("b.torrent", Torrent(2));
  WriteFileBytes("a.torrent c.torrent", Torrent(3));
  WriteFileBytes("xy a.torrent zw", Torrent(4));
  WriteFileBytes("c.torrent", Torrent(5));
  CreateDirectoryA((folder + "sub").c_str(), nullptr);
  WriteFileBytes("sub\\s.torrent", Torrent(6));
}

void QuotedRuns() {
  const std::string b = Line(2, "b.torrent");
  // A quoted run inside a token keeps its quotes and its spaces: no file is
  // named. Split at the spaces it would name a.torrent; with the quotes
  // removed, "xy a.torrent zw".
  ExpectOutput(" x\"y a.torrent z\"w b.torrent", b);
  ExpectOutput(" ab\"c d\"ef b.torrent", b);
  // An unclosed quote runs to the end of the line and is kept.
  ExpectOutput(" b.torrent \"a.torrent c.torrent", b);
  ExpectOutput(" \"a.torrent", "");
  ExpectOutput(" \"-hash b.torrent", "");
  // Only a surrounding pair of quotes is dropped.
  ExpectOutput(" \"b.torrent\" \"b\".torrent b\".torrent\" \"\"b.torrent\"\"", b);
  ExpectOutput(" \"-hash\" b.torrent", std::string(kDigest[2]) + "\r\n");
  ExpectOutput(" -\"hash\" b.torrent", b);
  // A backslash does not escape the quote after it: "sub\" is the folder.
  ExpectOutput(" \"sub\\\" b.torrent", Line(6, "s.torrent") + b);
}

std::string Usage() {
  return "Usage:\n\r\nkelvane.exe -hash File1 File2 FileN \r\n"
         "Use [-hash] key to display only hash-sums\r\n\r\n";
}

void Separators() {
  const std::string digest = std::string(kDigest[2]) + "\r\n";
  ExpectOutput("\t-hash\tb.torrent\t", digest);
  // Every byte from 0x01 to 0x20 separates; 0x7F does not.
  const std::string controls = "\x01-hash\x1F";
  ExpectOutput(controls + "b.torrent", digest);
  ExpectOutput(controls + "b.torrent\x7F", "");
  for (const char* nothing : {"", " \t\x05 "}) {
    const std::string out = StartNormal(nothing).out;
    CheckEqual(std::string("usage screen for [") + nothing + "]", Usage(),
               out.substr(0, Usage().size()));
  }
  // Token 0 follows the same rules: unquoted, the space in the folder's name
  // splits it, so "-hash" is no longer argument 1 but a target like the rest.
  Run run = Start(program + " -hash b.torrent");
  CheckEqual("output with token 0 unquoted", Line(2, "b.torrent"), run.out);
  CheckEqual("exit code with token 0 unquoted", "0", std::to_string(run.code));
}

void EmptyArguments() {
  const std::string every = Line(1, "a.torrent") + Line(3, "a.torrent c.torrent") +
                            Line(2, "b.torrent") + Line(5, "c.torrent") +
                            Line(4, "xy a.torrent zw") + "Error in file   kelvane.exe\r\n";
  std::string digests;
  for (int n : {1, 2, 3, 4, 5}) digests += std::string(kDigest[n]) + "\r\n";
  digests += "Error in file \r\n";
  CheckEqual("output of [ \"\"]", SortedLines(every), SortedLines(StartNormal(" \"\"").out));
  CheckEqual("output of [ -hash \"\"]", SortedLines(digests),
             SortedLines(StartNormal(" -hash \"\"").out));
  ExpectOutput(" \"\"\"\"", "");
}

// Another process holding the file open for writing keeps the program out;
// one that only reads does not.
void SharedFiles() {
  CreateDirectoryA((folder + "held").c_str(), nullptr);
  WriteFileBytes("held\\h.torrent", Torrent(1));
  const std::string path = folder + "held\\h.torrent";
  HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  Check(writer != INVALID_HANDLE_VALUE, "open held\\h.torrent for writing", "", "");
  ExpectOutput(" held\\h.torrent", "Error in file   h.torrent\r\n");
  ExpectOutput(" -hash held\\*", "Error in file \r\n");
  CloseHandle(writer);
  HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ExpectOutput(" held\\h.torrent", Line(1, "h.torrent"));
  CloseHandle(reader);
}

// Read-only, hidden and system files are files like any other.
void Attributes() {
  CreateDirectoryA((folder + "attrs").c_str(), nullptr);
  const DWORD kinds[] = {FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM};
  std::string expected;
  for (int n = 1; n <= 3; ++n) {
    const std::string name = "attrs\\" + std::to_string(n) + ".torrent";
    WriteFileBytes(name, Torrent(n));
    SetFileAttributesA((folder + name).c_str(), kinds[n - 1]);
    const DWORD got = GetFileAttributesA((folder + name).c_str());
    Check((got & kinds[n - 1]) != 0, "attribute of " + name, std::to_string(kinds[n - 1]),
          std::to_string(got));
    expected += Line(n, std::to_string(n) + ".torrent");
  }
  CheckEqual("output of [ attrs\\]", SortedLines(expected),
             SortedLines(StartNormal(" attrs\\").out));
  for (int n = 1; n <= 3; ++n) {
    const std::string name = folder + "attrs\\" + std::to_string(n) + ".torrent";
    SetFileAttributesA(name.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(name.c_str());
  }
  RemoveDirectoryA((folder + "attrs").c_str());
}

bool IsDiagnostic(const std::string& text) {
  const std::string head = "Exception EInOutError in module kelvane.exe at ";
  if (text.compare(0, head.size(), head) != 0) return false;
  std::size_t at = head.size();
  const std::size_t digits = text.find_first_not_of("0123456789ABCDEFabcdefx", at);
  if (digits == at || digits == std::string::npos) return false;
  if (text.compare(digits, 3, ".\r\n") != 0) return false;
  at = digits + 3;
  const std::size_t end = text.find("\r\n", at);
  return end != std::string::npos && end > at && text[end - 1] == '.' &&
         text.substr(end) == "\r\n\r\n";
}

void ClosedOutput() {
  for (const char* arguments : {" b.torrent", ""}) {
    Run run = Start("\"" + program + "\"" + arguments, false);
    CheckEqual(std::string("exit code with no reader for [") + arguments + "]", "1",
               std::to_string(run.code));
    Check(IsDiagnostic(run.err), std::string("diagnostic with no reader for [") + arguments + "]",
          "Exception EInOutError in module kelvane.exe at <address>.\r\n<message>.\r\n\r\n",
          run.err);
  }
}

void RemoveFolder() {
  for (const char* name : {"a.torrent", "b.torrent", "a.torrent c.torrent", "xy a.torrent zw",
                           "c.torrent", "sub\\s.torrent", "held\\h.torrent", "kelvane.exe"}) {
    DeleteFileA((folder + name).c_str());
  }
  RemoveDirectoryA((folder + "sub").c_str());
  RemoveDirectoryA((folder + "held").c_str());
  RemoveDirectoryA(folder.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::printf("usage: e2e_launch <path of kelvane.exe>\n");
    return 2;
  }
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  folder = std::string(temp) + "kelvane launch " + std::to_string(GetCurrentProcessId()) + "\\";
  program = folder + "kelvane.exe";
  if (!CreateDirectoryA(folder.c_str(), nullptr) || !CopyFileA(argv[1], program.c_str(), FALSE)) {
    std::printf("cannot set up %s (error %lu)\n", folder.c_str(), GetLastError());
    return 2;
  }
  MakeFiles();
  QuotedRuns();
  Separators();
  EmptyArguments();
  SharedFiles();
  Attributes();
  ClosedOutput();
  RemoveFolder();
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
