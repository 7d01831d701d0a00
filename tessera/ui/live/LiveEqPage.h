#pragma once
// "Audio Equalization" page: the five bands with their dialog, the combined response
// the board runs, Config EQ and Enable EQ over the link, the link log.
#include <QWidget>
#include <memory>

#include "tessera/core/pages/CPageEQ.h"
#include "tessera/link/LinkSession.h"
#include "tessera/ui/live/LinkPanel.h"
#include "tessera/ui/live/LiveHooks.h"

namespace Ui {
class LiveEqPage;
}

namespace tessera::ui {

class ResponsePlot;

class LiveEqPage : public QWidget {
  Q_OBJECT
 public:
  LiveEqPage(CPageEQ& model, LiveHooks hooks, QWidget* parent = nullptr);
  ~LiveEqPage() override;

  LinkSession& Session() { return session_; }
  ResponsePlot* Plot() const { return plot_; }
  // The bands from the model again (after a configuration was loaded).
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
  CPageEQ& model_;
  LiveHooks hooks_;
  LinkSession session_{nullptr, hooks_.port, hooks_.silence};
  LinkPanel* panel_;
  ResponsePlot* plot_;
};

}  // namespace tessera::ui
