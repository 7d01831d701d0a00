#include "tessera/ui/pages/ControlBinder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSvgRenderer>
#include <QTableWidget>
#include <QTreeWidget>
#include <QValidator>
#include <algorithm>

namespace tessera::ui {

QString ControlName(int id) { return QStringLiteral("ctl%1").arg(id); }

namespace {

bool IsEdit(ControlKind k) { return k == ControlKind::Integer || k == ControlKind::Number || k == ControlKind::Text; }

// A text field's limit counts the UTF-8 bytes the record stores, not characters: the
// box stops taking keys where the check would refuse the text (10 Chinese characters
// of 3 bytes fit 32, an 11th does not).
class Utf8ByteLimit : public QValidator {
 public:
  Utf8ByteLimit(int maxBytes, QLineEdit* edit) : QValidator(edit), max_(maxBytes), edit_(edit) {}
  State validate(QString& input, int&) const override {
    const auto bytes = input.toUtf8().size();
    if (bytes <= max_) return Acceptable;
    // Over the limit: nothing may be added, but a text put there longer (a loaded
    // name whose last character was cut) can still be shortened.
    return bytes < edit_->text().toUtf8().size() ? Intermediate : Invalid;
  }

 private:
  int max_;
  QLineEdit* edit_;
};

// The status images of a read-only check (the Bluetooth address: tick or cross).
QPixmap Indicator(bool ok) {
  QSvgRenderer svg(ok ? QStringLiteral(":/tessera/images/tick.svg") : QStringLiteral(":/tessera/images/cross.svg"));
  QPixmap pm(20, 20);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  svg.render(&p);
  return pm;
}

}  // namespace

ControlBinder::ControlBinder(QWidget* root, std::function<ControlSet()> controls, std::map<int, ListColumns> lists,
                             SelectorPicks picks)
    : QObject(root), root_(root), controls_(std::move(controls)), lists_(std::move(lists)), picks_(picks) {
  const ControlSet set = controls_();
  for (const auto& info : set.Controls()) {
    QWidget* w = Widget(info.id);
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
      if (info.field.kind == FieldKind::Text && info.field.maxChars > 0)
        e->setValidator(new Utf8ByteLimit(info.field.maxChars, e));
      if (info.readOnly) e->setReadOnly(true);
      if (info.filePath && !info.readOnly)
        connect(e, &QLineEdit::textChanged, e, [e](const QString& text) { e->setToolTip(text); });
    }
    if (auto* plain = qobject_cast<QPlainTextEdit*>(w); plain && info.readOnly) plain->setReadOnly(true);
    if (auto* table = qobject_cast<QTableWidget*>(w)) {
      // Rows shown, never edited in place: a click on a row opens its dialog.
      const auto it = lists_.find(info.id);
      table->setRowCount(info.rows);
      if (it != lists_.end()) {
        const int columns = static_cast<int>(it->second.titles.size());
        table->setColumnCount(columns);
        QStringList titles;
        for (const auto& t : it->second.titles) titles << t;
        table->setHorizontalHeaderLabels(titles);
        // The listed widths, widened where this font needs more for the title.
        for (int col = 0; col < columns && col < static_cast<int>(it->second.widths.size()); ++col)
          table->setColumnWidth(col, std::max(it->second.widths[static_cast<size_t>(col)],
                                              table->horizontalHeader()->sectionSizeHint(col) + 8));
      }
      table->verticalHeader()->setVisible(false);
      table->setEditTriggers(QAbstractItemView::NoEditTriggers);
      table->setSelectionBehavior(QAbstractItemView::SelectRows);
      table->setSelectionMode(QAbstractItemView::SingleSelection);
    }
    if (auto* tree = qobject_cast<QTreeWidget*>(w)) {
      const auto it = lists_.find(info.id);
      if (it != lists_.end()) {
        tree->setColumnCount(static_cast<int>(it->second.titles.size()));
        QStringList titles;
        for (const auto& t : it->second.titles) titles << t;
        tree->setHeaderLabels(titles);
      }
      tree->header()->setDefaultAlignment(Qt::AlignCenter);
      tree->setSelectionBehavior(QAbstractItemView::SelectRows);
      tree->setAllColumnsShowFocus(true);
      for (int r = 0; r < info.rows; ++r) {
        auto* item = new QTreeWidgetItem(tree);
        for (int col = 0; col < tree->columnCount(); ++col) item->setTextAlignment(col, Qt::AlignCenter);
      }
    }
  }
  Wire();
}

QWidget* ControlBinder::Widget(int id) const { return root_->findChild<QWidget*>(ControlName(id)); }

void ControlBinder::Refresh(bool includeEdits) {
  const ControlSet set = controls_();
  for (const auto& info : set.Controls()) Show(info, set.State(info.id), includeEdits);
  if (afterRefresh) afterRefresh();
}

void ControlBinder::RefreshControl(int id, bool includeEdits) {
  const ControlSet set = controls_();
  if (const ControlInfo* info = set.Find(id)) Show(*info, set.State(id), includeEdits);
  if (afterRefresh) afterRefresh();
}

void ControlBinder::Show(const ControlInfo& info, const ControlState& s, bool includeEdits) {
  QWidget* w = Widget(info.id);
  if (!w) return;
  if (info.kind == ControlKind::RadioGroup) {
    for (size_t i = 0; i < info.buttons.size(); ++i)
      if (auto* rb = qobject_cast<QRadioButton*>(Widget(info.buttons[i]))) {
        const QSignalBlocker block(rb);
        // -1 leaves every button clear, which auto-exclusive buttons would refuse.
        rb->setAutoExclusive(false);
        rb->setChecked(s.value == static_cast<int>(i));
        rb->setAutoExclusive(true);
        rb->setEnabled(s.enabled);
      }
    return;
  }
  w->setEnabled(s.enabled);
  if (auto* e = qobject_cast<QLineEdit*>(w)) {
    const QString t = QString::fromStdString(s.text);
    if ((includeEdits || info.readOnly) && e->text() != t) {
      const QSignalBlocker block(e);
      e->setText(t);
      // A path too long for its box shows its end, the file name; other text its start.
      e->setCursorPosition(info.filePath ? static_cast<int>(t.size()) : 0);
    }
    if (info.filePath) e->setToolTip(e->text());
  } else if (auto* box = qobject_cast<QCheckBox*>(w)) {
    const QSignalBlocker block(box);
    box->setChecked(s.value != 0);
  } else if (auto* pic = qobject_cast<QLabel*>(w)) {
    pic->setPixmap(Indicator(s.value != 0));
    pic->setProperty("shownValue", s.value);
    // What the tick or cross says, for a screen reader (and on hover).
    const QString state = s.value != 0 ? QCoreApplication::translate("ControlBinder", "valid")
                                       : QCoreApplication::translate("ControlBinder", "invalid");
    pic->setAccessibleDescription(state);
    pic->setToolTip(state);
  } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
    const QSignalBlocker block(combo);
    bool same = combo->count() == static_cast<int>(s.entries.size());
    for (int i = 0; same && i < combo->count(); ++i)
      same = combo->itemText(i) == QString::fromStdString(s.entries[static_cast<size_t>(i)]);
    if (!same) {
      combo->clear();
      for (const auto& entry : s.entries) combo->addItem(QString::fromStdString(entry));
    }
    combo->setCurrentIndex(s.value);
  } else if (auto* plain = qobject_cast<QPlainTextEdit*>(w)) {
    const QString t = QString::fromStdString(s.text);
    if (plain->toPlainText() != t) {
      const QSignalBlocker block(plain);
      plain->setPlainText(t);
    }
  } else if (auto* table = qobject_cast<QTableWidget*>(w)) {
    for (int r = 0; r < table->rowCount() && r < static_cast<int>(s.rows.size()); ++r) {
      const auto& texts = s.rows[static_cast<size_t>(r)];
      for (int col = 0; col < table->columnCount() && col < static_cast<int>(texts.size()); ++col) {
        const QString t = QString::fromStdString(texts[static_cast<size_t>(col)]);
        QTableWidgetItem* item = table->item(r, col);
        if (!item) {
          item = new QTableWidgetItem;
          item->setTextAlignment(Qt::AlignCenter);
          table->setItem(r, col, item);
        }
        if (item->text() != t) item->setText(t);
      }
    }
  } else if (auto* tree = qobject_cast<QTreeWidget*>(w)) {
    bool changed = false;
    for (int r = 0; r < tree->topLevelItemCount() && r < static_cast<int>(s.rows.size()); ++r) {
      const auto& texts = s.rows[static_cast<size_t>(r)];
      for (int col = 0; col < tree->columnCount() && col < static_cast<int>(texts.size()); ++col) {
        const QString t = QString::fromStdString(texts[static_cast<size_t>(col)]);
        if (tree->topLevelItem(r)->text(col) == t) continue;
        tree->topLevelItem(r)->setText(col, t);
        changed = true;
      }
    }
    // The listed widths suit a small dialog font; widen a column where its texts need it.
    const auto it = lists_.find(info.id);
    const QFontMetrics fm = tree->fontMetrics();
    for (int col = 0; changed && it != lists_.end() && col < static_cast<int>(it->second.widths.size()); ++col) {
      int need = fm.horizontalAdvance(tree->headerItem()->text(col));
      for (const auto& row : s.rows)
        if (col < static_cast<int>(row.size()))
          need = std::max(need, fm.horizontalAdvance(QString::fromStdString(row[static_cast<size_t>(col)])));
      tree->setColumnWidth(col, std::max(it->second.widths[static_cast<size_t>(col)], need + 16));
    }
  }
}

ControlReader ControlBinder::Reader() const {
  return [this](const ControlInfo& info) -> std::optional<ControlInput> {
    QWidget* w = Widget(info.id);
    if (!w) return std::nullopt;
    ControlInput in;
    if (IsEdit(info.kind)) {
      auto* e = qobject_cast<QLineEdit*>(w);
      if (!e) return std::nullopt;
      in.text = e->text().toStdString();
    } else if (info.kind == ControlKind::CheckBox) {
      auto* box = qobject_cast<QCheckBox*>(w);
      if (!box) return std::nullopt;
      in.value = box->isChecked() ? 1 : 0;
    } else if (info.kind == ControlKind::RadioGroup) {
      in.value = -1;
      for (size_t i = 0; i < info.buttons.size(); ++i)
        if (auto* rb = qobject_cast<QRadioButton*>(Widget(info.buttons[i])); rb && rb->isChecked())
          in.value = static_cast<int>(i);
    } else if (info.kind == ControlKind::Selector) {
      auto* combo = qobject_cast<QComboBox*>(w);
      if (!combo) return std::nullopt;
      in.value = combo->currentIndex();
    } else {
      return std::nullopt;
    }
    return in;
  };
}

ControlTextFn ControlBinder::TextReader() const {
  return [this](int id) {
    auto* e = qobject_cast<QLineEdit*>(Widget(id));
    return e ? e->text().toStdString() : std::string();
  };
}

void ControlBinder::Wire() {
  const ControlSet set = controls_();
  for (const auto& info : set.Controls()) {
    QWidget* w = Widget(info.id);
    if (!w || info.readOnly) continue;
    const int id = info.id;
    // Check boxes and radio buttons react to any change of state the user makes: a
    // click, the space bar, or the accessibility interface's toggle action (which does
    // not click). The binder's own refreshes are blocked and do not reach them.
    if (auto* box = qobject_cast<QCheckBox*>(w)) {
      connect(box, &QCheckBox::toggled, this, [this, id](bool on) {
        if (onChange) onChange(id, on ? 1 : 0);
      });
    } else if (info.kind == ControlKind::RadioGroup) {
      for (size_t i = 0; i < info.buttons.size(); ++i)
        if (auto* rb = qobject_cast<QRadioButton*>(Widget(info.buttons[i])))
          connect(rb, &QRadioButton::toggled, this, [this, id, i](bool on) {
            if (on && onChange) onChange(id, static_cast<int>(i));
          });
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
      const auto pick = [this, id](int index) {
        if (index >= 0 && onChange) onChange(id, index);
      };
      if (picks_ == SelectorPicks::EveryChange)
        connect(combo, &QComboBox::currentIndexChanged, this, pick);
      else
        connect(combo, &QComboBox::activated, this, pick);
    } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
      connect(e, &QLineEdit::textEdited, this, [this, id] {
        if (onTextEdited) onTextEdited(id);
      });
    } else if (auto* table = qobject_cast<QTableWidget*>(w)) {
      connect(table, &QTableWidget::cellClicked, this, [this, id](int row, int) {
        if (onListClick) onListClick(id, row);
      });
    } else if (auto* tree = qobject_cast<QTreeWidget*>(w)) {
      connect(tree, &QTreeWidget::itemClicked, this, [this, tree, id](QTreeWidgetItem* item, int) {
        const int row = tree->indexOfTopLevelItem(item);
        if (row >= 0 && onListClick) onListClick(id, row);
      });
    }
  }
}

}  // namespace tessera::ui
