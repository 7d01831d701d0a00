#include "GuiFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeWidget>

namespace gui {

Harness::Harness() {
  tessera::ui::UiHooks hooks;
  hooks.showMessage = [this](QWidget*, const QString& text) {
    messages << text;
    messagePages.push_back(window ? window->Sheet()->currentIndex() : -1);
  };
  hooks.chooseFile = [this](QWidget*, FileDialogKind kind) {
    asked.push_back(kind);
    if (files.empty()) return QString();
    QString f = files.front();
    files.pop_front();
    return f;
  };
  hooks.runDialog = [this](QDialog& d) { return onDialog ? onDialog(d) : int(QDialog::Rejected); };
  hooks.askSaveChanges = [this](QWidget*) {
    ++closeQuestions;
    return closeAnswer;
  };
  window = std::make_unique<MainWindow>(hooks);
  window->resize(1220, 780);
}

QWidget* Harness::Page(int index) const { return window->Sheet()->widget(index); }

void Harness::ShowPage(int index) const { window->Sheet()->setCurrentIndex(index); }

tessera::ControlState WidgetState(const QWidget* root, const tessera::ControlInfo& info) {
  using tessera::ControlKind;
  tessera::ControlState s;
  const QWidget* w = Ctl<QWidget>(root, info.id);
  if (!w) {
    s.text = "<missing ctl" + std::to_string(info.id) + ">";
    return s;
  }
  s.enabled = w->isEnabled();
  switch (info.kind) {
    case ControlKind::Integer:
    case ControlKind::Number:
    case ControlKind::Text:
      s.text = static_cast<const QLineEdit*>(w)->text().toStdString();
      break;
    case ControlKind::CheckBox:
      // A read-only one is a picture (the address tick or cross).
      if (auto* box = qobject_cast<const QCheckBox*>(w))
        s.value = box->isChecked() ? 1 : 0;
      else
        s.value = w->property("shownValue").toInt();
      break;
    case ControlKind::RadioGroup:
      s.value = -1;
      for (size_t i = 0; i < info.buttons.size(); ++i)
        if (auto* rb = Ctl<QRadioButton>(root, info.buttons[i]); rb && rb->isChecked()) s.value = static_cast<int>(i);
      break;
    case ControlKind::Selector: {
      auto* box = static_cast<const QComboBox*>(w);
      s.value = box->currentIndex();
      for (int i = 0; i < box->count(); ++i) s.entries.push_back(box->itemText(i).toStdString());
      break;
    }
    case ControlKind::List: {
      auto* tree = static_cast<const QTreeWidget*>(w);
      for (int r = 0; r < tree->topLevelItemCount(); ++r) {
        std::vector<std::string> row;
        for (int c = 0; c < tree->columnCount(); ++c) row.push_back(tree->topLevelItem(r)->text(c).toStdString());
        s.rows.push_back(row);
      }
      break;
    }
  }
  return s;
}

int SheetIndexOf(tessera::PageId page) {
  switch (page) {
    case tessera::PageId::System: return kSystem;
    case tessera::PageId::Bluetooth: return kBluetooth;
    case tessera::PageId::Wave: return kWave;
    case tessera::PageId::Led: return kLed;
    case tessera::PageId::Key: return kKey;
    default: return -1;
  }
}

std::string CompareWithDocument(Harness& h, tessera::CTesseraView& doc, int* compared) {
  int n = 0;
  for (auto page : tessera::kAllPages) {
    const int index = SheetIndexOf(page);
    if (index < 0) continue;  // main form and the live-tuning pages are checked elsewhere
    const tessera::ControlSet set = doc.Controls(page);
    for (const auto& info : set.Controls()) {
      tessera::ControlState want = set.State(info.id);
      tessera::ControlState got = WidgetState(h.Page(index), info);
      // Only what each kind of widget shows.
      if (info.kind != tessera::ControlKind::Selector) want.entries.clear();
      if (info.kind == tessera::ControlKind::List) want.value = got.value = 0;
      if (info.kind == tessera::ControlKind::Integer || info.kind == tessera::ControlKind::Number ||
          info.kind == tessera::ControlKind::Text)
        want.value = got.value = 0;
      ++n;
      if (!(want == got))
        return "page " + std::to_string(index) + " ctl" + std::to_string(info.id) + ": window shows '" + got.text +
               "'/" + std::to_string(got.value) + (got.enabled ? "" : " disabled") + ", document '" + want.text +
               "'/" + std::to_string(want.value) + (want.enabled ? "" : " disabled");
    }
  }
  if (compared) *compared = n;
  return {};
}

QString SamplesDir() { return QStringLiteral(QR_SAMPLES_DIR); }
QString RepoRoot() { return QDir(SamplesDir()).absoluteFilePath(QStringLiteral("..")); }

}  // namespace gui
