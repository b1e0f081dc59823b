#pragma once

// Real folders and captured output for the expansion tests.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/StdOut.h"
#include "driver/ExpandTarget.h"

namespace kelvane::testing {

// Files made for a test and removed after it: in a fresh folder below the
// system's temporary folder (removed whole), or in an existing folder (only
// the entries made here are removed).
class Scratch {
 public:
  Scratch() : folder_(std::filesystem::temp_directory_path() / UniqueName("kelvane-expand-")) {
    std::filesystem::create_directory(folder_);
    made_.push_back(folder_);
  }
  explicit Scratch(std::filesystem::path existing) : folder_(std::move(existing)) {}
  ~Scratch() {
    std::error_code ignored;
    for (const std::filesystem::path& entry : made_) std::filesystem::remove_all(entry, ignored);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  // A name no earlier run left behind.
  static std::string UniqueName(std::string_view prefix) {
    std::random_device random;
    return std::string(prefix) + std::to_string(random()) + "-" + std::to_string(random());
  }

  const std::filesystem::path& Folder() const { return folder_; }
  // The folder as the program spells it: no final separator.
  std::string Dir() const { return folder_.string(); }
  // Dir, the system's separator and the entry.
  std::string Name(std::string_view entry) const { return (folder_ / entry).string(); }

  void File(std::string_view entry, std::string_view bytes) {
    made_.push_back(folder_ / entry);
    std::ofstream file(made_.back(), std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(file.good()) << entry;
  }
  void SubFolder(std::string_view entry) {
    made_.push_back(folder_ / entry);
    std::filesystem::create_directory(made_.back());
  }

 private:
  std::filesystem::path folder_;
  std::vector<std::filesystem::path> made_;
};

// A metainfo file whose info value is the integer n (1 or 2), its info hash
// (SHA-1 of "i<n>e") and the line that reports it.
inline std::string Torrent(int n) {
  return "d4:infoi" + std::to_string(n) + "ee";
}
inline std::string Digest(int n) {
  return n == 1 ? "1C9D0D26A5211FC7A715823784AAAFAEAF7E88C7"
                : "C3EB21F2ECE5514EF440873008BA8D1C1057C788";
}
inline std::string Hashed(int n, std::string_view name) {
  return Digest(n) + "  " + std::string(name);
}

// Standard output of the program while the object lives, line by line.
class Capture {
 public:
  Capture() {
    Text().clear();
    SetStdOutWriter(Append, true);
  }
  ~Capture() { SetStdOutWriter(nullptr, false); }
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;

  // The lines in output order; every line must end in CR LF.
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::string_view rest = Text();
    for (std::size_t end; (end = rest.find("\r\n")) != std::string_view::npos;) {
      lines.emplace_back(rest.substr(0, end));
      rest.remove_prefix(end + 2);
    }
    EXPECT_EQ(rest, "") << "output not ended by CR LF";
    return lines;
  }

 private:
  static std::string& Text() {
    static std::string text;
    return text;
  }
  static bool Append(std::string_view bytes) {
    Text().append(bytes);
    return true;
  }
};

// The lines one target writes, in any order.
inline std::multiset<std::string> Expand(const std::string& target, bool hashOnly = false) {
  Capture output;
  ExpandTarget(target, hashOnly);
  const std::vector<std::string> lines = output.Lines();
  return {lines.begin(), lines.end()};
}

// The current folder, changed while the object lives.
class CurrentFolder {
 public:
  explicit CurrentFolder(const std::filesystem::path& folder)
      : saved_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~CurrentFolder() {
    std::error_code ignored;
    std::filesystem::current_path(saved_, ignored);
  }
  CurrentFolder(const CurrentFolder&) = delete;
  CurrentFolder& operator=(const CurrentFolder&) = delete;

 private:
  std::filesystem::path saved_;
};

// The system's own separator.
inline const std::string kSep(1, static_cast<char>(std::filesystem::path::preferred_separator));

}  // namespace kelvane::testing
