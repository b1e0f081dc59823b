#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>

namespace kelvane::testing {

// A fresh folder below the system's temporary directory, removed with
// everything in it when the object goes.
class TestFolder {
 public:
  TestFolder() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("kelvane-test-" + std::to_string(random()) + "-" + std::to_string(random()));
    std::filesystem::create_directories(path_);
  }
  ~TestFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;

  // The full name of an entry in the folder, with the system's separator.
  std::string Name(std::string_view entry) const { return (path_ / entry).string(); }

  // Writes bytes (any bytes) to a file in the folder; returns its full name.
  std::string Write(std::string_view entry, std::string_view bytes) const {
    const std::string name = Name(entry);
    std::ofstream file(name, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return name;
  }

  // Makes a subfolder; returns its full name.
  std::string MakeFolder(std::string_view entry) const {
    std::filesystem::create_directories(path_ / entry);
    return Name(entry);
  }

 private:
  std::filesystem::path path_;
};

}  // namespace kelvane::testing
