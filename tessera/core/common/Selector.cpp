#include "tessera/core/common/Selector.h"

#include <cctype>

namespace tessera {

int Selector::FindPrefix(const std::string& prefix) const {
  for (int i = 0; i < Count(); ++i) {
    const std::string& e = entries[i];
    if (e.size() < prefix.size()) continue;
    bool match = true;
    for (size_t k = 0; k < prefix.size() && match; ++k)
      match = std::tolower(static_cast<unsigned char>(e[k])) ==
              std::tolower(static_cast<unsigned char>(prefix[k]));
    if (match) return i;
  }
  return -1;
}

void Selector::SelectOrAdd(const std::string& text) {
  int i = FindPrefix(text);
  if (i < 0) i = Add(text);
  selected = i;
}

}  // namespace tessera
