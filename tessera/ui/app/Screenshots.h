#pragma once
// Saves the main window with each page in front, and each dialog, as PNG files
// tessera-<lang>-<name>.png (for the documentation and for looking at every window).
#include <QString>

namespace tessera::ui {

class MainWindow;
bool SaveScreenshots(MainWindow& window, const QString& folder, const QString& lang);

}  // namespace tessera::ui
