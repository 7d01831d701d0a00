#include "tessera/core/link/LinkCheckDetector.h"

#include "tessera/core/link/LinkProtocol.h"

namespace tessera::link {

int LinkCheckDetector::Feed(std::string_view bytes) {
  // No proper prefix of "LINK+CHECK" is also a suffix of it, so on a mismatch the
  // match restarts at the current byte.
  int found = 0;
  for (char c : bytes) {
    if (c == kLinkCheck[matched_]) {
      if (++matched_ == kLinkCheck.size()) {
        ++found;
        matched_ = 0;
      }
    } else {
      matched_ = c == kLinkCheck[0] ? 1 : 0;
    }
  }
  return found;
}

}  // namespace tessera::link
