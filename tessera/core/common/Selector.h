#pragma once
// A drop-down list as the core sees it: its entry texts and the selected index
// (-1 = nothing selected). The record is built from the selected entry's text, so
// an empty list or no selection must stay representable.
#include <string>
#include <vector>

namespace tessera {

struct Selector {
  std::vector<std::string> entries;
  int selected = -1;

  Selector() = default;
  explicit Selector(std::vector<std::string> e, int sel = -1) : entries(std::move(e)), selected(sel) {}

  // Text of the selected entry; empty when nothing is selected.
  std::string Text() const {
    return selected >= 0 && selected < static_cast<int>(entries.size()) ? entries[selected] : std::string();
  }
  // Selects index i; an index outside the list clears the selection, as a list box does.
  void Select(int i) { selected = (i >= 0 && i < static_cast<int>(entries.size())) ? i : -1; }
  int Count() const { return static_cast<int>(entries.size()); }
  void Clear() {
    entries.clear();
    selected = -1;
  }
  int Add(const std::string& text) {
    entries.push_back(text);
    return Count() - 1;
  }
  // First entry that begins with prefix, ignoring ASCII case; -1 if none.
  int FindPrefix(const std::string& prefix) const;
  // Selects the first entry beginning with text, adding text as a new entry first if none does.
  void SelectOrAdd(const std::string& text);
};

}  // namespace tessera
