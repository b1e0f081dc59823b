// Starts kelvane.exe through CreateProcessA with exact command lines, which no launcher taking a
// list of arguments can give, and checks its output: in each case a wrong split of the command line
// names a file that exists. Usage: e2e_launch <path of kelvane.exe>; prints each failed check and
// "N passed, N failed", exit code 1 on any failure.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace {

int passed = 0, failed = 0;
std::string folder;  // the test's folder, ending in "\"; its name holds a space
std::string program;

// The line for the file "d4:infoiNee", N = 1 ... 6, whose info value is "iNe"; under -hash the
// name is empty.
std::string Line(int n, const std::string& name = "") {
  static const char* const kDigest[] = {
      "1C9D0D26A5211FC7A715823784AAAFAEAF7E88C7", "C3EB21F2ECE5514EF440873008BA8D1C1057C788",
      "149A51B5B69FE7EB7A429FDB52321896C4A60EF7", "9AA9494730A59F747A2748345B5040291EA738B0",
      "FD512D5838B7F0C9FA46DEBF0D0F0D0D28EA81A1", "16C1A267CB5A984576C3E291EDD16C229EADBB46"};
  return kDigest[n - 1] + (name.empty() ? std::string() : "  " + name) + "\r\n";
}

// The files made, file n holding "d4:infoinee". The first five lie in the program's folder:
// where a case's right split names nothing, a wrong split names one of these.
const std::pair<const char*, int> kFiles[] = {
    {"a.torrent", 1}, {"b.torrent", 2},      {"a.torrent c.torrent", 3}, {"xy a.torrent zw", 4},
    {"c.torrent", 5}, {"sub\\s.torrent", 6}, {"held\\h.torrent", 1}};

// Control bytes shown as <code>, so that failure messages stay readable.
std::string Printable(const std::string& text) {
  std::string shown;
  for (unsigned char c : text) {
    char code[8];
    std::snprintf(code, sizeof code, c >= 0x20 && c < 0x7F ? "%c" : "<%d>", c);
    shown += code;
  }
  return shown;
}

// Lines of text, cut after each CR LF, in sorted order.
std::vector<std::string> SortedLines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t at = 0, end; at < text.size(); at = end) {
    end = std::min(text.find('\n', at), text.size() - 1) + 1;
    lines.push_back(text.substr(at, end - at));
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

// Runs the program's copy with exactly this command line in the test's folder; it must exit with 0
// and write this output (as a set of lines if sorted) to standard output and error together. A
// start that fails leaves the exit code at 1.
void Expect(const std::string& commandLine, const std::string& expected, bool sorted) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE read, write;
  CreatePipe(&read, &write, &inherit, 0);
  SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = write;
  PROCESS_INFORMATION process = {};
  std::string line = commandLine, got;
  DWORD code = 1, count = 0;
  CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(),
                 &startup, &process);
  CloseHandle(write);
  for (char buffer[4096]; ReadFile(read, buffer, sizeof buffer, &count, nullptr) && count > 0;) {
    got.append(buffer, count);
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  GetExitCodeProcess(process.hProcess, &code);
  for (HANDLE handle : {read, process.hProcess, process.hThread}) CloseHandle(handle);
  const bool ok =
      code == 0 && (sorted ? SortedLines(got) == SortedLines(expected) : got == expected);
  ++(ok ? passed : failed);
  if (ok) return;
  std::printf("FAIL: [%s]\n  expected: %s\n  got:      exit code %lu, output %s\n",
              Printable(commandLine).c_str(), Printable(expected).c_str(), code,
              Printable(got).c_str());
}

void Run() {
  std::string every = "Error in file   kelvane.exe\r\n", digests = "Error in file \r\n";
  for (int n = 1; n <= 5; ++n) {
    every += Line(n, kFiles[n - 1].first);
    digests += Line(n);
  }
  const std::string b = Line(2, "b.torrent"), quoted = "\"" + program + "\"";
  const struct {
    std::string commandLine;
    std::string output;
    bool sorted = false;
    DWORD held = 0;  // access with which another process holds held\h.torrent open meanwhile
  } cases[] = {
      // A quoted run inside a token keeps its quotes and spaces: no file is named. Split at the
      // spaces it would name a.torrent; with the quotes removed, "xy a.torrent zw".
      {quoted + " x\"y a.torrent z\"w b.torrent", b},
      // An unclosed quote runs to the end of the line and is kept.
      {quoted + " b.torrent \"a.torrent c.torrent", b},
      {quoted + " \"-hash b.torrent", ""},
      // Only a surrounding pair of quotes is dropped.
      {quoted + " \"b.torrent\" \"b\".torrent b\".torrent\" \"\"b.torrent\"\"", b},
      {quoted + " \"-hash\" b.torrent", Line(2)},
      // A backslash does not escape the quote after it: "sub\" is the folder.
      {quoted + " \"sub\\\" b.torrent", Line(6, "s.torrent") + b},
      // Tabs and the other control bytes separate.
      {quoted + "\t-hash\tb.torrent\001c.torrent\037", Line(2) + Line(5)},
      // Two double quotes: the empty argument, every file of the program's folder.
      {quoted + " \"\"", every, true},
      {quoted + " -hash \"\"", digests, true},
      {quoted + " \"\"\"\"", ""},
      // Token 0 follows the same rules: unquoted, the space in the folder's name splits it, so
      // "-hash" is no longer argument 1 but a target like the rest.
      {program + " -hash b.torrent", b},
      // Another process writing a file keeps the program out; one reading it does not.
      {quoted + " held\\h.torrent", "Error in file   h.torrent\r\n", false, GENERIC_WRITE},
      {quoted + " held\\h.torrent", Line(1, "h.torrent"), false, GENERIC_READ},
  };
  for (const auto& c : cases) {
    const DWORD share = FILE_SHARE_READ | (c.held == GENERIC_WRITE ? FILE_SHARE_WRITE : 0);
    HANDLE held = c.held ? CreateFileA((folder + "held\\h.torrent").c_str(), c.held, share, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                         : nullptr;
    Expect(c.commandLine, c.output, c.sorted);
    if (held) CloseHandle(held);
  }
}

}  // namespace

int main(int argc, char** argv) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  folder = std::string(temp) + "kelvane launch " + std::to_string(GetCurrentProcessId()) + "\\";
  program = folder + "kelvane.exe";
  if (argc != 2 || !CreateDirectoryA(folder.c_str(), nullptr) ||
      !CopyFileA(argv[1], program.c_str(), FALSE)) {
    std::printf("usage: e2e_launch <path of kelvane.exe>; cannot set up %s\n", folder.c_str());
    return 2;
  }
  for (const char* sub : {"sub", "held"}) CreateDirectoryA((folder + sub).c_str(), nullptr);
  for (const auto& [name, n] : kFiles) {
    std::ofstream(folder + name, std::ios::binary) << "d4:infoi" << n << "ee";
  }
  Run();
  std::system(("rmdir /s /q \"" + folder.substr(0, folder.size() - 1) + "\"").c_str());
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
