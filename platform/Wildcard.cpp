#include "platform/Wildcard.h"

namespace kelvane::platform {

bool WildcardMatch(std::string_view name, std::string_view mask) {
  // After a "*", a mismatch lets only the last "*" take one byte more instead of recursing: that
  // is enough, and keeps a mask with many stars from taking exponential time.
  std::size_t n = 0, m = 0;
  std::size_t starMask = std::string_view::npos, starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && mask[m] == '*') {
      starMask = ++m;
      starName = n;
    } else if (m < mask.size() && (mask[m] == '?' || mask[m] == name[n])) {
      ++m;
      ++n;
    } else if (starMask != std::string_view::npos) {
      m = starMask;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

}  // namespace kelvane::platform
