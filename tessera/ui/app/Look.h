#pragma once
// The control colours of the window, the pages and the entry dialogs, set as palettes
// (a style sheet gave the same colours but doubled the time to the first frame).
// Message boxes are left alone: they keep the system colours.
class QWidget;

namespace tessera::ui {

// Colours every control below root by its kind; dialog: root is a dialog's background.
void ApplyLook(QWidget* root, bool dialog = false);

}  // namespace tessera::ui
