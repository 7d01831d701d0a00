#pragma once
// Change notification from the document to its views.
//
// How a view uses it: it registers with CTesseraView::AddObserver. After every
// operation of the document (a control change, a read-back, a command, anything run
// through CTesseraView::Apply) it hears once which controls of which page now show
// something else: another value, other selector entries or list rows, another enable
// state. A handler on one page may change controls of others (DebugPort rebuilds the
// GPIO selectors of the System and LED pages and may clear Key rows), and each of
// them is listed. The view re-reads those controls from CTesseraView::Controls(page)
// and redraws nothing else. After a batch (Read Config, restoring a snapshot) it
// hears Reset instead and re-reads everything. Notifications come before the
// operation's queued messages are delivered.
#include <vector>

namespace tessera {

// The document's pages, plus the main form (the two selections and the two paths).
enum class PageId { Main, Bluetooth, System, Key, Led, Wave, Eq, Echo };
inline constexpr PageId kAllPages[] = {PageId::Main, PageId::Bluetooth, PageId::System,
                                       PageId::Key,  PageId::Led,       PageId::Wave,
                                       PageId::Eq,   PageId::Echo};

// One control whose shown state changed in an operation.
struct ControlChange {
  PageId page = PageId::Main;
  int controlId = 0;
  bool value = false;    // text, check, radio index or selection
  bool entries = false;  // selector entries or list rows
  bool enabled = false;  // enable state
  bool operator==(const ControlChange&) const = default;
};

class DocumentObserver {
 public:
  virtual ~DocumentObserver() = default;
  // After one operation: every control that changed, in page order then control
  // order. Not called when nothing changed.
  virtual void ControlsChanged(const std::vector<ControlChange>& changes) = 0;
  // After a batch: anything may have changed.
  virtual void Reset() = 0;
};

}  // namespace tessera
