#pragma once
// Binds the widgets of a Designer form (object names ctl<id>) to a set of controls the
// core declares: one generic exchange for every page, the main form and the entry
// dialogs. Refresh shows the core's state; Reader gives the core what the widgets
// hold; user input is handed to the callbacks.
#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tessera/core/common/ControlDecl.h"

class QWidget;

namespace tessera::ui {

QString ControlName(int id);

struct ListColumns {
  std::vector<QString> titles;
  std::vector<int> widths;
};

// When a selector's pick reaches onChange: when the user picks an entry (the
// configuration pages), or on every change of its index, a program's included (the
// pages on the serial link, which send a level as soon as it changes).
enum class SelectorPicks { ByUser, EveryChange };

class ControlBinder : public QObject {
  Q_OBJECT
 public:
  // A List control may be a QTreeWidget or a QTableWidget; read-only text may also be
  // shown in a QPlainTextEdit.
  ControlBinder(QWidget* root, std::function<ControlSet()> controls, std::map<int, ListColumns> lists = {},
                SelectorPicks picks = SelectorPicks::ByUser);

  // The core's state into the widgets, signals blocked. Edits the user may be typing in
  // are left alone unless includeEdits.
  void Refresh(bool includeEdits = true);
  // One control only (what the document's change notification names). An edit's text
  // is rewritten only when includeEdits.
  void RefreshControl(int id, bool includeEdits);
  // What the widgets hold, for the core's read-back.
  ControlReader Reader() const;
  ControlTextFn TextReader() const;
  QWidget* Widget(int id) const;

  std::function<void(int id, int value)> onChange;  // check box, radio button, selector
  std::function<void(int id)> onTextEdited;         // an edit's text typed
  std::function<void(int id, int row)> onListClick;
  std::function<void()> afterRefresh;  // display the declarations do not cover

 private:
  void Wire();
  void Show(const ControlInfo& info, const ControlState& s, bool includeEdits);
  QWidget* root_;
  std::function<ControlSet()> controls_;
  std::map<int, ListColumns> lists_;
  SelectorPicks picks_;
};

}  // namespace tessera::ui
