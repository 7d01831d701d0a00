#include "tessera/core/link/LinkLog.h"

namespace tessera::link {

LinkLog::LinkLog() { text_.reserve(kCapacity); }

void LinkLog::Append(std::string_view entry) {
  showingOld_ = false;
  text_.append(entry.substr(0, kMaxEntry));
  if (text_.size() + 256 > kCapacity) {
    old_.swap(text_);
    text_.clear();
    text_.reserve(kCapacity);
    showingOld_ = true;
  }
}

void LinkLog::Clear() {
  text_.clear();
  old_.clear();
  showingOld_ = false;
}

}  // namespace tessera::link
