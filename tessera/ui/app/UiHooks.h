#pragma once
// The places where the window would wait for a person: message boxes, file dialogs,
// modal entry dialogs and the close question. Each is a replaceable function, so the
// GUI tests drive the real window without anything blocking.
#include <QDialog>
#include <QMessageBox>
#include <QString>
#include <functional>

namespace tessera::ui {

// Which file dialog the window asks for; each has its extension, proposed name and filter.
enum class FileDialogKind { OpenConfig, SaveConfig, OpenBin, SaveImage, OpenWave };

struct FileDialogSetup {
  bool save = false;
  QString defaultSuffix;
  QString proposedName;
  QString filter;
};
FileDialogSetup SetupFor(FileDialogKind kind);

struct UiHooks {
  // Shows one message (OK, no icon, application title).
  std::function<void(QWidget* parent, const QString& text)> showMessage;
  // Asks for a file; an empty result means cancelled.
  std::function<QString(QWidget* parent, FileDialogKind kind)> chooseFile;
  // Runs an entry dialog modally and returns its result (QDialog::Accepted or Rejected).
  std::function<int(QDialog& dialog)> runDialog;
  // Unsaved changes at close: Save, Discard or Cancel.
  std::function<QMessageBox::StandardButton(QWidget* parent)> askSaveChanges;

  // The interactive versions used by the program.
  static UiHooks Interactive();
};

// The caption of every message box.
inline QString ApplicationTitle() { return QStringLiteral("Tessera"); }

}  // namespace tessera::ui
