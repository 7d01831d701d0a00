#include "tessera/ui/LiveTuningPages.h"

#include <QCoreApplication>
#include <QObject>

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
  h.modify = [&controller](const std::function<bool()>& op) { return controller.Modify(op); };
  return h;
}

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
    case LiveTuningPage::Eq:
      page = new LiveEqPage(doc, HooksFor(controller, self), parent);
      break;
    case LiveTuningPage::Echo:
      page = new LiveEchoPage(doc, HooksFor(controller, self), parent);
      break;
  }
  *self = page;
  QObject::connect(page, &QObject::destroyed, [self] { delete self; });
  return page;
}

}  // namespace tessera::ui
