#pragma once
// The three pages that talk to a running board over the serial port (RF Test, EQ,
// Echo). They are made here, in one place, so the board-link pages can replace the
// placeholders without touching the sheet.
#include <QString>

class QWidget;

namespace tessera::ui {

class PageController;

enum class LiveTuningPage { RfTest = 0, Eq = 1, Echo = 2 };
inline constexpr int kLiveTuningPageCount = 3;

// The page widget for index (a LiveTuningPage) and its tab caption.
QWidget* CreateLiveTuningPage(int index, PageController& controller, QWidget* parent = nullptr);
QString LiveTuningPageTitle(int index);

}  // namespace tessera::ui
