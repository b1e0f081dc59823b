#pragma once

// Real folders and captured standard output for the test programs.

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

// A fresh temporary folder, removed whole (read-only entries too) when the object goes.
class TempFolder {
 public:
  TempFolder() {
    std::random_device random;
    Path = fs::temp_directory_path() /
           ("kelvane-test-" + std::to_string(random()) + "-" + std::to_string(random()));
    fs::create_directory(Path);
  }
  ~TempFolder() {
    std::error_code stop, ignored;
    for (fs::recursive_directory_iterator entry(Path, stop), end; !stop && entry != end;
         entry.increment(stop))
      fs::permissions(entry->path(), fs::perms::owner_write, fs::perm_options::add, ignored);
    fs::remove_all(Path, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const fs::path& Folder() const { return Path; }
  // The folder, the system's separator and the entry.
  std::string Name(std::string_view entry) const { return (Path / entry).string(); }
  // Writes bytes (any bytes) to a file in the folder; returns its full name.
  std::string Write(std::string_view entry, std::string_view bytes) const {
    std::ofstream(Path / entry, std::ios::binary).write(bytes.data(), std::ssize(bytes));
    return Name(entry);
  }
  // Makes a subfolder; returns its full name.
  std::string MakeFolder(std::string_view entry) const {
    fs::create_directory(Path / entry);
    return Name(entry);
  }

 private:
  fs::path Path;
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

}  // namespace kelvane::testing
