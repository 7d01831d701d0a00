#pragma once
// The control colours of the window, the pages and the entry dialogs, set as palettes
// (a style sheet gave the same colours but doubled the time to the first frame).
// Message boxes are left alone: they keep the system colours.
class QWidget;

namespace tessera::ui {

// Colours every control below root by its kind; dialog: root is a dialog's background.
void ApplyLook(QWidget* root, bool dialog = false);

// Sets the application's style: the platform's own, except that its stock icons are
// read from their files only when first drawn. Reading one at once made Qt load every
// image-format plugin (and their libraries) while the menu bar was being made, for an
// overflow button that is hardly ever shown.
void InstallStyle();

}  // namespace tessera::ui
