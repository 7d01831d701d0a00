#pragma once
// Start-up of the window program: command line, language, main window.
#include <QString>

class QApplication;

namespace tessera::ui {

// The language to show: "zh_CN" or "en". A forced choice wins; otherwise the first
// user-interface language of the system decides (Chinese gives zh_CN, anything else en).
QString ChooseLanguage(const QString& forced, const QStringList& uiLanguages);
// Installs the Chinese catalogues (ours and Qt's own buttons) when lang is zh_CN.
// Returns whether ours was found.
bool InstallTranslators(QApplication& app, const QString& lang);

// The program: tessera [FILE.cfg] [--lang en|zh_CN] [--version]
int RunTessera(int argc, char** argv);

}  // namespace tessera::ui
