#include "tessera/ui/app/UiHooks.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace tessera::ui {

FileDialogSetup SetupFor(FileDialogKind kind) {
  switch (kind) {
    case FileDialogKind::OpenConfig:
      return {false, "cfg", "", "Varlo Configuration File (*.cfg);;All Files (*.*)"};
    case FileDialogKind::SaveConfig:
      return {true, "cfg", "QR5830", "Varlo Configuration File (*.cfg);;All Files (*.*)"};
    case FileDialogKind::OpenBin:
      return {false, "bin", "", "Bin File (*.bin);;All Files (*.*)"};
    case FileDialogKind::SaveImage:
      return {true, "IMG", "QR5830", "Bin File (*.IMG);;All Files (*.*)"};
    case FileDialogKind::OpenWave:
      return {false, "wav", "", "Wav File (*.wav);;All Files (*.*)"};
  }
  return {};
}

UiHooks UiHooks::Interactive() {
  UiHooks h;
  h.showMessage = [](QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, ApplicationTitle(), text, QMessageBox::Ok, parent);
    box.exec();
  };
  h.chooseFile = [](QWidget* parent, FileDialogKind kind) {
    const FileDialogSetup setup = SetupFor(kind);
    QFileDialog dialog(parent);
    dialog.setAcceptMode(setup.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(setup.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilter(setup.filter);
    dialog.setDefaultSuffix(setup.defaultSuffix);
    if (!setup.proposedName.isEmpty()) dialog.selectFile(setup.proposedName);
    // Saving asks before replacing an existing file (QFileDialog's default).
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().first();
  };
  h.runDialog = [](QDialog& dialog) { return dialog.exec(); };
  h.askSaveChanges = [](QWidget* parent) {
    return QMessageBox::question(parent, ApplicationTitle(),
                                 QCoreApplication::translate("MainWindow", "Save the changes before closing?"),
                                 QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
  };
  return h;
}

}  // namespace tessera::ui
