#include "tessera/ui/pages/ConfigPages.h"

#include <QApplication>

#include "tessera/ui/pages/EntryDialogs.h"
#include "ui_PageBluetooth.h"
#include "ui_PageButton.h"
#include "ui_PageLED.h"
#include "ui_PageSystem.h"
#include "ui_PageWave.h"

namespace tessera::ui {

namespace {

template <class UiForm>
QWidget* LoadForm() {
  auto* w = new QWidget;
  UiForm form;
  form.setupUi(w);
  return w;
}

template <class Page>
ListColumns Columns() {
  ListColumns cols;
  for (const char* t : Page::ColumnTitles()) cols.titles.push_back(QString::fromUtf8(t));
  for (int w : Page::ColumnWidths()) cols.widths.push_back(w);
  return cols;
}

// Runs an entry dialog for one row; on OK the page takes the entry as one undo step.
// Where refreshing the row reads the page back (readBackPage), a bad field's message
// shows after the row was taken.
template <class Dialog, class Model, class Commit>
void EditRow(PageController& c, std::optional<Model> model, Commit commit, PageView* readBackPage = nullptr) {
  if (!model) return;  // no row selected
  Dialog window(*model, c, QApplication::activeWindow());
  if (c.Hooks().runDialog(window) != QDialog::Accepted) return;
  if (readBackPage)
    readBackPage->ModifyAfterReadBack([&] { return commit(window); });
  else
    c.Modify([&] { return commit(window); });
}

}  // namespace

PageView* CreateBluetoothPage(PageController& c) {
  PageExtras x;
  // The address is checked on every keystroke: tick or cross.
  x.liveEdits = {CPageBluetooth::kIdAddress};
  return new PageView(LoadForm<Ui::PageBluetooth>(), PageId::Bluetooth, c, std::move(x));
}

PageView* CreateSystemPage(PageController& c) {
  PageExtras x;
  // Hidden in both templates: their values are still held, exchanged and stored.
  x.hidden = {"grpCharging", "ctl1025", "ctl1026", "ctl1091", "ctl1092"};
  return new PageView(LoadForm<Ui::PageSystem>(), PageId::System, c, std::move(x));
}

PageView* CreateKeyPage(PageController& c) {
  PageExtras x;
  x.lists = {{CPageButton::kListId, Columns<CPageButton>()}};
  x.editRow = [&c](PageView& view, int, int row) {
    CTesseraView& doc = c.Doc();
    // The Key page's row refresh reads the timings back.
    EditRow<KeyEventDialog>(
        c, doc.BeginKeyEdit(row), [&](KeyEventDialog& d) { return doc.CommitKeyEdit(row, d.Model()); }, &view);
  };
  return new PageView(LoadForm<Ui::PageButton>(), PageId::Key, c, std::move(x));
}

PageView* CreateLedPage(PageController& c) {
  PageExtras x;
  x.lists = {{CPageLED::kListId, Columns<CPageLED>()}};
  x.editRow = [&c](PageView&, int, int row) {
    CTesseraView& doc = c.Doc();
    EditRow<LedEventDialog>(c, doc.led.BeginEdit(row),
                            [&](LedEventDialog& d) { return doc.CommitLedEdit(row, d.Entry()); });
  };
  return new PageView(LoadForm<Ui::PageLED>(), PageId::Led, c, std::move(x));
}

PageView* CreateWavePage(PageController& c) {
  PageExtras x;
  x.lists = {{CPageWave::kListId, Columns<CPageWave>()}};
  x.editRow = [&c](PageView&, int, int row) {
    CTesseraView& doc = c.Doc();
    EditRow<AudioConfigDialog>(c, doc.wave.BeginEdit(row),
                               [&](AudioConfigDialog& d) { return doc.CommitWaveEdit(row, d.Entry()); });
  };
  return new PageView(LoadForm<Ui::PageWave>(), PageId::Wave, c, std::move(x));
}

}  // namespace tessera::ui
