#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

// Splits a Windows command line into its tokens, token 0 (the program's name
// as typed) included. Separators are the bytes 0x01 to 0x20; a double quote
// opens a run, up to and including the next double quote or the end, inside
// which separators belong to the token. There is no escape character, and no
// quote is removed here.
std::vector<std::string> SplitCommandLine(std::string_view line);

// The arguments a command line holds: its tokens after the program's name,
// each with a surrounding pair of double quotes dropped.
std::vector<std::string> CommandLineArguments(std::string_view line);

// The number of arguments after the program's own name. The arguments are
// taken from the system, and split, once per run.
std::int32_t ArgumentCount();

// Argument 0 is the running program's full path; 1 and up are the arguments,
// with a surrounding pair of double quotes dropped; empty beyond the last.
std::string ArgumentText(std::int32_t index);

// A copy with "A" to "Z" lower-cased and every other byte unchanged.
std::string AsciiLowerCase(std::string_view text);

}  // namespace kelvane
