#include "pages/PageView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace tessera::ui {

QString ControlName(int id) { return QStringLiteral("ctl%1").arg(id); }

namespace {

template <class W>
W* Find(QWidget* root, int id) {
  return root->findChild<W*>(ControlName(id));
}

void SetComboEntries(QComboBox* box, const Selector& sel) {
  const QSignalBlocker block(box);
  bool same = box->count() == sel.Count();
  for (int i = 0; same && i < sel.Count(); ++i)
    same = box->itemText(i) == QString::fromStdString(sel.entries[static_cast<size_t>(i)]);
  if (!same) {
    box->clear();
    for (const auto& e : sel.entries) box->addItem(QString::fromStdString(e));
  }
  box->setCurrentIndex(sel.selected);
}

}  // namespace

PageView::PageView(QWidget* form, PageBindings bindings, PageController& controller, QWidget* parent)
    : QWidget(parent), b_(std::move(bindings)), c_(controller), form_(form) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  form_->setParent(this);
  layout->addWidget(form_);
  setObjectName(form_->objectName() + QStringLiteral("View"));
  setAttribute(Qt::WA_TranslucentBackground);
  for (const auto& name : b_.hidden)
    if (auto* w = form_->findChild<QWidget*>(name)) w->hide();
  for (const auto& l : b_.lists) {
    auto* tree = Find<QTreeWidget>(form_, l.id);
    if (!tree) continue;
    tree->setColumnCount(static_cast<int>(l.titles.size()));
    QStringList titles;
    for (const auto& t : l.titles) titles << t;
    tree->setHeaderLabels(titles);
    tree->header()->setDefaultAlignment(Qt::AlignCenter);
    for (size_t i = 0; i < l.widths.size(); ++i) tree->setColumnWidth(static_cast<int>(i), l.widths[i]);
    tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    tree->setAllColumnsShowFocus(true);
    for (int r = 0; r < l.rows; ++r) {
      auto* item = new QTreeWidgetItem(tree);
      for (int col = 0; col < tree->columnCount(); ++col) item->setTextAlignment(col, Qt::AlignCenter);
    }
  }
  for (const auto& f : b_.edits)
    if (auto* e = Find<QLineEdit>(form_, f.id); e && f.kind == FieldKind::Text && f.maxChars > 0)
      e->setMaxLength(f.maxChars);
  Wire();
}

std::string PageView::TextOf(int id) const {
  if (auto* e = Find<QLineEdit>(form_, id)) return e->text().toStdString();
  return {};
}

void PageView::Refresh(bool includeEdits) {
  for (const auto& f : b_.edits) {
    if (!includeEdits) break;
    auto* e = Find<QLineEdit>(form_, f.id);
    if (!e) continue;
    const QString t = QString::fromStdString(b_.editText(f.id));
    if (e->text() != t) {
      const QSignalBlocker block(e);
      e->setText(t);
    }
  }
  for (const auto& ch : b_.checks)
    if (auto* box = Find<QCheckBox>(form_, ch.id)) {
      const QSignalBlocker block(box);
      box->setChecked(*ch.member != 0);
    }
  for (const auto& r : b_.radios)
    for (size_t i = 0; i < r.ids.size(); ++i)
      if (auto* rb = Find<QRadioButton>(form_, r.ids[i])) {
        const QSignalBlocker block(rb);
        // -1 leaves every radio of the group clear, which auto-exclusive buttons refuse.
        rb->setAutoExclusive(false);
        rb->setChecked(*r.member == static_cast<int>(i));
        rb->setAutoExclusive(true);
      }
  for (const auto& co : b_.combos)
    if (auto* box = Find<QComboBox>(form_, co.id)) SetComboEntries(box, *co.selector);
  for (const auto& en : b_.enables) {
    const bool on = en.enabled();
    for (int id : en.ids)
      if (auto* w = Find<QWidget>(form_, id)) w->setEnabled(on);
  }
  for (const auto& l : b_.lists) {
    auto* tree = Find<QTreeWidget>(form_, l.id);
    if (!tree) continue;
    for (int r = 0; r < l.rows && r < tree->topLevelItemCount(); ++r) {
      const auto texts = l.rowTexts(r);
      auto* item = tree->topLevelItem(r);
      for (int col = 0; col < tree->columnCount() && col < static_cast<int>(texts.size()); ++col)
        item->setText(col, QString::fromStdString(texts[static_cast<size_t>(col)]));
    }
    // The listed widths suit the original small font; widen a column where its texts need it.
    for (int col = 0; col < tree->columnCount() && col < static_cast<int>(l.widths.size()); ++col) {
      tree->resizeColumnToContents(col);
      tree->setColumnWidth(col, std::max(l.widths[static_cast<size_t>(col)], tree->columnWidth(col) + 12));
    }
  }
  if (b_.refreshExtra) b_.refreshExtra(form_);
}

std::optional<FieldError> PageView::ReadBack() {
  if (!b_.readBack) return std::nullopt;
  return b_.readBack([this](int id) { return TextOf(id); });
}

bool PageView::Commit() {
  std::optional<FieldError> err;
  c_.Modify([&] {
    std::vector<std::string> before;
    for (const auto& f : b_.edits) before.push_back(b_.editText(f.id));
    err = ReadBack();
    for (size_t i = 0; i < b_.edits.size(); ++i)
      if (b_.editText(b_.edits[i].id) != before[i]) return true;
    return false;
  });
  if (err) c_.ReportFieldError(Find<QWidget>(form_, err->controlId), err->message);
  return !err;
}

void PageView::Wire() {
  for (const auto& ch : b_.checks) {
    auto* box = Find<QCheckBox>(form_, ch.id);
    if (!box) continue;
    connect(box, &QCheckBox::clicked, this, [this, ch](bool checked) {
      std::optional<FieldError> err;
      c_.Modify([&] {
        if (ch.readBackFirst && (err = ReadBack())) return false;
        *ch.member = checked ? 1 : 0;
        if (ch.handler) ch.handler();
        return true;
      });
      if (err) c_.ReportFieldError(Find<QWidget>(form_, err->controlId), err->message);
    });
  }
  for (const auto& r : b_.radios)
    for (size_t i = 0; i < r.ids.size(); ++i) {
      auto* rb = Find<QRadioButton>(form_, r.ids[i]);
      if (!rb) continue;
      connect(rb, &QRadioButton::clicked, this, [this, r, i] {
        c_.Modify([&] {
          *r.member = static_cast<int>(i);
          if (r.handler) r.handler();
          return true;
        });
      });
    }
  for (const auto& co : b_.combos) {
    auto* box = Find<QComboBox>(form_, co.id);
    if (!box) continue;
    connect(box, &QComboBox::activated, this, [this, co](int index) {
      c_.Modify([&] {
        if (co.onPick)
          co.onPick(index);
        else
          co.selector->Select(index);
        return true;
      });
    });
  }
  for (const auto& l : b_.lists) {
    auto* tree = Find<QTreeWidget>(form_, l.id);
    if (!tree || !l.edit) continue;
    connect(tree, &QTreeWidget::itemClicked, this, [this, tree, l](QTreeWidgetItem* item, int) {
      const int row = tree->indexOfTopLevelItem(item);
      if (row >= 0) l.edit(row);
    });
  }
}

}  // namespace tessera::ui
