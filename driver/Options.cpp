#include "driver/Options.h"

#include "driver/CommandLine.h"

namespace kelvane {

TOptions ParseOptions(const std::vector<std::string>& arguments) {
  TOptions options;
  bool v2 = false;
  bool magnet = false;
  bool json = false;
  for (const std::string& argument : arguments) {
    const std::string option = AsciiLowerCase(argument);
    bool* taken = option == "-hash"     ? &options.HashOnly
                  : option == "-v2"     ? &v2
                  : option == "-magnet" ? &magnet
                  : option == "-json"   ? &json
                  : option == "-r"      ? &options.Recursive
                                        : nullptr;
    if (taken == nullptr || *taken) break;
    *taken = true;
    ++options.FirstFileArg;
  }
  if (json) {
    options.Content = TLineContent::AllIdentities;
  } else if (magnet) {
    options.Content = TLineContent::MagnetLink;
  } else if (v2) {
    options.Content = TLineContent::V2Digest;
  }
  return options;
}

}  // namespace kelvane
