#include "tessera/ui/live/LiveHooks.h"

#include <QApplication>
#include <QMessageBox>

#include "tessera/ui/live/EqConfigDialog.h"

namespace tessera::ui {

LiveHooks LiveHooks::Interactive() {
  LiveHooks h;
  h.showMessage = [](const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
  };
  h.runBandDialog = [](EqConfigDialog& dlg) { return dlg.exec() == QDialog::Accepted; };
  return h;
}

}  // namespace tessera::ui
