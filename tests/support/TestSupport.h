#pragma once

// Real folders, captured standard output and a changed current folder for the test programs.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <numeric>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "base/StdOut.h"
#include "platform/Conventions.h"

namespace kelvane::testing {

namespace fs = std::filesystem;

// What ends each line the program writes on this system.
inline const std::string kEol(platform::kConventions.LineEnd);

// Entries made for a test, removed (read-only or not) when the object goes: a fresh temporary
// folder whole, or in an existing folder only the entries made here.
class TempFolder {
 public:
  explicit TempFolder(fs::path existing = {})
      : Path(existing.empty() ? fs::temp_directory_path() / UniqueName("kelvane-test-")
                              : std::move(existing)) {
    if (fs::create_directory(Path)) Made.push_back(Path);
  }
  ~TempFolder() {
    std::error_code ignored;
    for (auto entry = Made.rbegin(); entry != Made.rend(); ++entry) {
      fs::permissions(*entry, fs::perms::owner_write, fs::perm_options::add, ignored);
      fs::remove_all(*entry, ignored);
    }
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // A name no earlier run left behind.
  static std::string UniqueName(std::string_view prefix) {
    std::random_device random;
    return std::string(prefix) + std::to_string(random()) + "-" + std::to_string(random());
  }
  const fs::path& Folder() const { return Path; }
  // The folder, the system's separator and the entry.
  std::string Name(std::string_view entry) const { return (Path / entry).string(); }
  // Writes bytes (any bytes) to a file in the folder; returns its full name.
  std::string Write(std::string_view entry, std::string_view bytes) {
    Made.push_back(Path / entry);
    std::ofstream(Made.back(), std::ios::binary).write(bytes.data(), std::ssize(bytes));
    return Made.back().string();
  }
  // Makes a subfolder; returns its full name.
  std::string MakeFolder(std::string_view entry) {
    Made.push_back(Path / entry);
    fs::create_directory(Made.back());
    return Made.back().string();
  }

 private:
  fs::path Path;
  std::vector<fs::path> Made;
};

// Standard output while the object lives, kept as the Pieces handed on.
class Output {
 public:
  explicit Output(bool console = true) {
    Pieces.clear();
    Failing = false;
    SetStdOutWriter(
        [](std::string_view bytes) {
          Pieces.emplace_back(bytes);
          return !Failing;
        },
        console);
  }
  ~Output() { SetStdOutWriter(nullptr, false); }

  static std::string Text() { return std::accumulate(Pieces.begin(), Pieces.end(), std::string()); }

  static inline std::vector<std::string> Pieces;  // every piece handed on, in order
  static inline bool Failing = false;             // the writer fails while set
};

// The current folder, changed while the object lives.
class CurrentFolder {
 public:
  explicit CurrentFolder(const fs::path& folder) { fs::current_path(folder); }
  ~CurrentFolder() { fs::current_path(Saved, Ignored); }

 private:
  fs::path Saved = fs::current_path();  // taken before the change
  std::error_code Ignored;
};

}  // namespace kelvane::testing
