#pragma once
// One page of the sheet: a Designer form bound by a ControlBinder to the controls its
// page of the document declares. Clicks and picks go to the document as one undo step
// each; typed values are read back (validated) when the page is left or a command runs.
#include <QWidget>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "tessera/core/common/Validation.h"
#include "tessera/core/document/DocumentObserver.h"
#include "tessera/ui/pages/ControlBinder.h"
#include "tessera/ui/pages/PageController.h"

namespace tessera::ui {

class PageView;

struct PageExtras {
  std::map<int, ListColumns> lists;
  std::function<void(PageView& view, int listId, int row)> editRow;  // a click on a list row
  std::vector<QString> hidden;                       // kept and exchanged, never shown
  std::vector<int> liveEdits;         // edits whose handler runs on every keystroke
};

class PageView : public QWidget {
  Q_OBJECT
 public:
  PageView(QWidget* form, PageId page, PageController& controller, PageExtras extras = {},
           QWidget* parent = nullptr);

  void Refresh(bool includeEdits = true) { binder_->Refresh(includeEdits); }
  void RefreshControl(int id, bool includeEdits) { binder_->RefreshControl(id, includeEdits); }
  // Reads the page back as one undo step; a failure is reported (message, focus) and
  // false returned.
  bool Commit();
  // The typed values that pass their checks into the document, quietly (no message,
  // no handler); true when the document changed.
  bool TakeTypedValues();
  // Runs op as one undo step after reading the page back; a failure of the read-back is
  // reported after op has run (op runs whatever it gave).
  bool ModifyAfterReadBack(const std::function<bool()>& op);
  QWidget* Form() const { return form_; }
  PageId Page() const { return page_; }

 private:
  void ReportIfFailed(const std::optional<FieldError>& err);
  QWidget* form_;
  PageId page_;
  PageController& c_;
  PageExtras extras_;
  ControlBinder* binder_;
};

}  // namespace tessera::ui
