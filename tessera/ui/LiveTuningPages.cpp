#include "tessera/ui/LiveTuningPages.h"

#include <QCoreApplication>
#include <QObject>

#include "tessera/core/document/DocumentObserver.h"
#include "tessera/ui/live/EqConfigDialog.h"
#include "tessera/ui/live/LiveEchoPage.h"
#include "tessera/ui/live/LiveEqPage.h"
#include "tessera/ui/live/LiveTestPage.h"
#include "tessera/ui/pages/PageController.h"

namespace tessera::ui {

namespace {

LiveHooks HooksFor(PageController& controller, QWidget** page) {
  LiveHooks h;
  h.showMessage = [&controller, page](const QString& text) {
    controller.Hooks().showMessage(*page, text);
  };
  h.runBandDialog = [&controller](EqConfigDialog& dlg) {
    return controller.Hooks().runDialog(dlg) == QDialog::Accepted;
  };
  h.modify = [&controller](const std::function<void()>& op) {
    controller.Modify([&] {
      op();
      return true;
    });
  };
  return h;
}

// Reloads a live page when the document changes under it (Read Config, undo).
class ReloadOnChange : public QObject, public DocumentObserver {
 public:
  ReloadOnChange(CTesseraView& doc, PageId page, std::function<void()> reload, QObject* owner)
      : QObject(owner), doc_(doc), page_(page), reload_(std::move(reload)) {
    doc_.AddObserver(this);
  }
  ~ReloadOnChange() override { doc_.RemoveObserver(this); }
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

}  // namespace

QString LiveTuningPageTitle(int index) {
  switch (static_cast<LiveTuningPage>(index)) {
    case LiveTuningPage::RfTest: return QCoreApplication::translate("MainWindow", "RF Test");
    case LiveTuningPage::Eq: return QCoreApplication::translate("MainWindow", "Audio Equalization");
    case LiveTuningPage::Echo: return QCoreApplication::translate("MainWindow", "Echo Test");
  }
  return {};
}

QWidget* CreateLiveTuningPage(int index, PageController& controller, QWidget* parent) {
  // The hooks name the page for the message boxes' parent once it exists.
  auto** self = new QWidget*(nullptr);
  QWidget* page = nullptr;
  CTesseraView& doc = controller.Doc();
  switch (static_cast<LiveTuningPage>(index)) {
    case LiveTuningPage::RfTest:
      page = new LiveTestPage(HooksFor(controller, self), parent);
      break;
    case LiveTuningPage::Eq: {
      auto* eq = new LiveEqPage(doc.eq, HooksFor(controller, self), parent);
      new ReloadOnChange(doc, PageId::Eq, [eq] { eq->Reload(); }, eq);
      page = eq;
      break;
    }
    case LiveTuningPage::Echo: {
      auto* echo = new LiveEchoPage(doc.echo, doc.system, HooksFor(controller, self), parent);
      new ReloadOnChange(doc, PageId::Echo, [echo] { echo->Reload(); }, echo);
      page = echo;
      break;
    }
  }
  *self = page;
  QObject::connect(page, &QObject::destroyed, [self] { delete self; });
  return page;
}

}  // namespace tessera::ui
