#include "driver/Program.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/StdOut.h"
#include "driver/CommandLine.h"
#include "driver/ExpandTarget.h"
#include "driver/Options.h"
#include "driver/PathHelpers.h"
#include "platform/Conventions.h"

namespace kelvane {

namespace {

// The last line of the usage screen lives in the program only in scrambled
// form: byte i (from 1) holds the text's byte minus (i - 10), modulo 256.
// The scrambling happens at compile time, so the plain text is not stored.
template <std::size_t N>
struct ScrambledText {
  consteval ScrambledText(const char (&plain)[N]) {
    for (std::size_t i = 0; i + 1 < N; ++i) {
      bytes[i] = static_cast<char>(static_cast<std::uint8_t>(plain[i]) - (i + 1 - 10));
    }
  }
  std::array<char, N - 1> bytes{};
};

constexpr ScrambledText kClosingLine("kelvane: the BitTorrent info hash of each metainfo file.");

std::string Unscramble(const std::array<char, sizeof kClosingLine.bytes>& stored) {
  std::string text(stored.begin(), stored.end());
  for (std::size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<char>(static_cast<std::uint8_t>(text[i]) + (i + 1) - 10);
  }
  return text;
}

bool IsHelpToken(const std::string& argument) {
  if (argument == "?" || argument == "/?" || argument == "-?" || argument == "-h") return true;
  const std::string lower = AsciiLowerCase(argument);
  return lower == "--help" || lower == "help" || lower == "-help";
}

// The lines between the synopsis and the closing line where a user expects a tool to say all
// it takes.
constexpr const char* kFullUsage[] = {
    "Prints the BitTorrent info hash of each metainfo (.torrent) file: the digest,",
    "two spaces and the file's path as given; one error line for a file that cannot be used.",
    "",
    "  -hash      the digest (or the link) alone, without the name",
    "  -v2        the v2 info hash (SHA-256) of a v2 or hybrid torrent",
    "  -magnet    the file's magnet link in place of the line",
    "  -json      one JSON object per file, one a line, with every identity",
    "  -r         every folder below a target's folder too, at any depth",
    "  --version  the program's version;  --help  this screen",
    "",
    "A target is a file, a folder (every file in it) or a mask in its last component:",
    "\"*\" matches any run of characters and \"?\" exactly one, letter case ignored;",
    "\"^MASK\" selects every file of its folder but those MASK matches (write \"?\" for",
    "a leading \"^\" of a name). \"-\" reads standard input. A name without a folder",
    "means the current folder. Files of a folder or mask come sorted by name.",
    "Exit status: 0 when every target gave a digest or a link, else 1.",
    "",
};

}  // namespace

void ShowUsage() {
  const std::string program = ShownText(FileNamePart(ArgumentText(0)));
  if (platform::kConventions.FullUsage) {
    WriteLine("Usage: " + program + " [-hash] [-v2] [-magnet] [-json] [-r] TARGET...");
    WriteLine("       " + program + " --version | --help");
    WriteLine("");
    for (const char* line : kFullUsage) WriteLine(line);
  } else {
    WriteLine("Usage:\n");
    WriteLine(program + " -hash File1 " + "File2 " + "FileN ");
    WriteLine("Use [-hash] key to display only hash-sums");
    WriteLine("");
  }
  WriteLine(Unscramble(kClosingLine.bytes));
}

bool RunProgram() {
  if (ArgumentCount() > 0 && AsciiLowerCase(ArgumentText(1)) == "--version") {
    WriteLine("kelvane " KELVANE_VERSION);
    return true;
  }
  if (ArgumentCount() == 0) {
    ShowUsage();
    return true;
  }
  const std::string first = ArgumentText(1);
  if (IsHelpToken(first)) {
    ShowUsage();
    return true;
  }
  const std::int32_t count = ArgumentCount();
  std::vector<std::string> leading;
  for (std::int32_t i = 1; i <= count && leading.size() < kOptionCount; ++i) {
    leading.push_back(ArgumentText(i));
  }
  const TOptions options = ParseOptions(leading);
  std::vector<std::string> targets;
  for (std::int32_t i = options.FirstFileArg; i <= count; ++i) targets.push_back(ArgumentText(i));
  return ExpandTargets(targets, options);
}

}  // namespace kelvane
