#pragma once
// The link log of the equalizer and RF pages: a 131072-byte text buffer, entries of at
// most 255 characters. When an entry leaves fewer than 256 free bytes the buffer is
// emptied, but the box keeps showing the text it showed until the next entry.
#include <cstddef>
#include <string>
#include <string_view>

namespace tessera::link {

class LinkLog {
 public:
  static constexpr size_t kCapacity = 0x20000;
  static constexpr size_t kMaxEntry = 255;

  LinkLog();
  void Append(std::string_view entry);
  void Clear();
  // The buffer as it stands, and the text the log box shows.
  const std::string& Text() const { return text_; }
  const std::string& Shown() const { return showingOld_ ? old_ : text_; }

 private:
  std::string text_;
  std::string old_;  // the emptied buffer, still on screen until the next entry
  bool showingOld_ = false;
};

}  // namespace tessera::link
