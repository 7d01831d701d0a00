#pragma once
// What a live page needs from the window around it. The defaults run modal dialogs and
// message boxes; the window routes document changes through its undo stack, and tests
// answer dialogs without a modal loop.
#include <QString>
#include <functional>

namespace tessera::link {
class BoardPort;
class LinkTimer;
}  // namespace tessera::link

namespace tessera::ui {

class EqConfigDialog;

struct LiveHooks {
  // A message box: OK, no icon, the application's title.
  std::function<void(const QString&)> showMessage;
  // Runs the band dialog; true on OK.
  std::function<bool(EqConfigDialog&)> runBandDialog;
  // Runs one operation of the document (an edited band, a picked level, a saved volume)
  // that returns whether it changed the stored settings; the window makes it an undo
  // step. Unset: the operation just runs.
  std::function<bool(const std::function<bool()>&)> modify;
  bool Modify(const std::function<bool()>& op) const { return modify ? modify(op) : op(); }

  // The page's port and its burst timer; null (the default): the serial port itself and a
  // Qt timer. Tests give an in-process fake port and a timer they fire.
  link::BoardPort* port = nullptr;
  link::LinkTimer* silence = nullptr;

  static LiveHooks Interactive();
};

}  // namespace tessera::ui
