#pragma once

#include <string>
#include <string_view>

namespace kelvane {

// The path up to and including its last separator (":", "\" or "/" on
// Windows, "/" alone on POSIX); empty when it has none.
std::string DirectoryPart(std::string_view path);

// The text after the last separator; the whole path when it has none.
std::string FileNamePart(std::string_view path);

// True when the name denotes an existing entry that is not a directory.
bool IsExistingFile(const std::string& name);

// A name as a line shows it: each control byte (0x01 to 0x1F and 0x7F)
// becomes "?", so that no name can start a line of its own; every other byte
// stays as it is. Windows allows no such byte in a name, yet a file system it
// reaches may hold one (a Unix one under Wine).
std::string ShownText(std::string_view name);

}  // namespace kelvane
