#pragma once
// Keeps a live page in step with the document: its reload runs after every operation
// that changed a control of its page, and after a batch (Read Config, undo, redo).
#include <functional>
#include <vector>

#include "tessera/core/document/CTesseraView.h"

namespace tessera::ui {

class PageFollower : public DocumentObserver {
 public:
  PageFollower(CTesseraView& doc, PageId page, std::function<void()> reload)
      : doc_(doc), page_(page), reload_(std::move(reload)) {
    doc_.AddObserver(this);
  }
  ~PageFollower() override { doc_.RemoveObserver(this); }
  PageFollower(const PageFollower&) = delete;
  PageFollower& operator=(const PageFollower&) = delete;

  void ControlsChanged(const std::vector<ControlChange>& changes) override {
    for (const auto& c : changes)
      if (c.page == page_) return reload_();
  }
  void Reset() override { reload_(); }

 private:
  CTesseraView& doc_;
  PageId page_;
  std::function<void()> reload_;
};

}  // namespace tessera::ui
