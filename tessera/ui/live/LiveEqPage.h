#pragma once
// "Audio Equalization" page: the five bands with their dialog, the combined response
// the board runs, Config EQ and Enable EQ over the link, the link log. It reads the
// bands from the document and changes them only through its operations (through the
// hooks, so the window makes each an undo step); it redraws when the document says so.
#include <QWidget>
#include <memory>
#include <optional>

#include "tessera/core/document/CTesseraView.h"
#include "tessera/core/link/PageCommands.h"
#include "tessera/link/LinkSession.h"
#include "tessera/ui/live/LinkPanel.h"
#include "tessera/ui/live/LiveHooks.h"
#include "tessera/ui/live/PageFollower.h"
#include "tessera/ui/pages/ControlBinder.h"

namespace Ui {
class LiveEqPage;
}

namespace tessera::ui {

class ResponsePlot;

class LiveEqPage : public QWidget {
  Q_OBJECT
 public:
  LiveEqPage(CTesseraView& doc, LiveHooks hooks, QWidget* parent = nullptr);
  ~LiveEqPage() override;

  LinkSession& Session() { return session_; }
  ResponsePlot* Plot() const { return plot_; }
  // The bands from the document again.
  void Reload();
  // Leaving the page closes its port, as the Close button does.
  void Leave();

 protected:
  void hideEvent(QHideEvent* event) override;

 private:
  void EditBand(int row);
  void ShowLinkState(bool open);
  void UpdatePlot();

  std::unique_ptr<Ui::LiveEqPage> ui_;
  CTesseraView& doc_;
  LiveHooks hooks_;
  link::EqLinkState link_;
  LinkSession session_{nullptr, hooks_.port, hooks_.silence};
  LinkPanel* panel_;
  ControlBinder* binder_;
  std::optional<PageFollower> follow_;  // made once the widgets are; dropped first
  ResponsePlot* plot_;
};

}  // namespace tessera::ui
