#pragma once

#include <string>
#include <string_view>

namespace kelvane {

// The path up to and including its last ":", "\" or "/"; empty when it has none.
std::string DirectoryPart(std::string_view path);

// The text after the last ":", "\" or "/"; the whole path when it has none.
std::string FileNamePart(std::string_view path);

// True when the name denotes an existing entry that is not a directory.
bool IsExistingFile(const std::string& name);

}  // namespace kelvane
