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
  // Runs one change of the document's pages (an edited band, a saved volume).
  std::function<void(const std::function<void()>&)> modify;

  // The page's port and its burst timer; null (the default): the serial port itself and a
  // Qt timer. Tests give an in-process fake port and a timer they fire.
  link::BoardPort* port = nullptr;
  link::LinkTimer* silence = nullptr;

  static LiveHooks Interactive();
};

}  // namespace tessera::ui
