#pragma once
// One configuration page: a Designer form whose controls are named ctl<id>, bound to a
// page of the document by a table of bindings. One generic exchange moves values in
// both directions for every page: edits through the page's own field rules, check
// boxes, radio groups and selectors through their members, enable rules and lists.
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/Selector.h"
#include "common/Validation.h"
#include "pages/PageController.h"

class QTreeWidget;

namespace tessera::ui {

QString ControlName(int id);

struct PageBindings {
  struct Check {
    int id = 0;
    int* member = nullptr;
    std::function<void()> handler = {};  // run after the member took the new state
    bool readBackFirst = true;
  };
  struct Radios {
    std::vector<int> ids = {};  // index i of the group is ids[i]
    int* member = nullptr;
    std::function<void()> handler = {};
  };
  struct Combo {
    int id = 0;
    Selector* selector = nullptr;
    std::function<void(int index)> onPick = {};  // null: the selector just selects
  };
  struct Enable {
    std::vector<int> ids;
    std::function<bool()> enabled;
  };
  struct List {
    int id;
    int rows;
    std::vector<QString> titles;
    std::vector<int> widths;
    std::function<std::vector<std::string>(int row)> rowTexts;
    std::function<void(int row)> edit;  // a click on a row
  };

  std::vector<FieldSpec> edits;  // in control order
  std::function<std::string(int id)> editText;
  std::function<std::optional<FieldError>(const ControlTextFn&)> readBack;
  std::vector<Check> checks;
  std::vector<Radios> radios;
  std::vector<Combo> combos;
  std::vector<Enable> enables;
  std::vector<List> lists;
  std::vector<QString> hidden;               // object names of controls kept but not shown
  std::function<void(QWidget* page)> refreshExtra;  // page-specific display (indicator, read-only text)
};

class PageView : public QWidget {
  Q_OBJECT
 public:
  PageView(QWidget* form, PageBindings bindings, PageController& controller, QWidget* parent = nullptr);

  // Document -> controls, with signals blocked so nothing echoes back as a user edit.
  void Refresh(bool includeEdits = true);
  // Controls -> document for the edits, validated in control order; the first failure
  // is returned (values before it keep their new contents).
  std::optional<FieldError> ReadBack();
  // ReadBack as one undo step; a failure is reported (message, focus). False on failure.
  bool Commit();
  // The current text of an edit control.
  std::string TextOf(int id) const;
  QWidget* Form() const { return form_; }

 private:
  void Wire();
  PageBindings b_;
  PageController& c_;
  QWidget* form_;
};

}  // namespace tessera::ui
