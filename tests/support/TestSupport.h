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

namespace kelvane::testing {

namespace fs = std::filesystem;

// Entries made for a test, removed (read-only or not) when the object goes: a fresh temporary
// folder whole, or in an existing folder only the entries made here.
class TempFolder {
 public:
  explicit TempFolder(fs::path existing = {})
      : folder_(existing.empty() ? fs::temp_directory_path() / UniqueName("kelvane-test-")
                                 : std::move(existing)) {
    if (fs::create_directory(folder_)) made_.push_back(folder_);
  }
  ~TempFolder() {
    std::error_code ignored;
    for (auto entry = made_.rbegin(); entry != made_.rend(); ++entry) {
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
  const fs::path& Folder() const { return folder_; }
  // The folder, the system's separator and the entry.
  std::string Name(std::string_view entry) const { return (folder_ / entry).string(); }
  // Writes bytes (any bytes) to a file in the folder; returns its full name.
  std::string Write(std::string_view entry, std::string_view bytes) {
    made_.push_back(folder_ / entry);
    std::ofstream(made_.back(), std::ios::binary).write(bytes.data(), std::ssize(bytes));
    return made_.back().string();
  }
  // Makes a subfolder; returns its full name.
  std::string MakeFolder(std::string_view entry) {
    made_.push_back(folder_ / entry);
    fs::create_directory(made_.back());
    return made_.back().string();
  }

 private:
  fs::path folder_;
  std::vector<fs::path> made_;
};

// Standard output while the object lives, kept as the pieces handed on.
class Output {
 public:
  explicit Output(bool console = true) {
    pieces.clear();
    failing = false;
    SetStdOutWriter(
        [](std::string_view bytes) {
          pieces.emplace_back(bytes);
          return !failing;
        },
        console);
  }
  ~Output() { SetStdOutWriter(nullptr, false); }

  static std::string Text() { return std::accumulate(pieces.begin(), pieces.end(), std::string()); }

  static inline std::vector<std::string> pieces;  // every piece handed on, in order
  static inline bool failing = false;             // the writer fails while set
};

// The current folder, changed while the object lives.
class CurrentFolder {
 public:
  explicit CurrentFolder(const fs::path& folder) { fs::current_path(folder); }
  ~CurrentFolder() { fs::current_path(saved_, ignored_); }

 private:
  fs::path saved_ = fs::current_path();  // taken before the change
  std::error_code ignored_;
};

}  // namespace kelvane::testing
