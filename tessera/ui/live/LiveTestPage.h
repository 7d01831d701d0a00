#pragma once
// "RF Test" page: DUT mode, the single-carrier test with channel hopping, free text to
// the board, the link log.
#include <QTimer>
#include <QWidget>
#include <memory>

#include "tessera/core/link/CPageTest.h"
#include "tessera/link/LinkSession.h"
#include "tessera/ui/live/LinkPanel.h"
#include "tessera/ui/live/LiveHooks.h"
#include "tessera/ui/pages/ControlBinder.h"

namespace Ui {
class LiveTestPage;
}

namespace tessera::ui {

// The hopping timer on the event loop.
class QtHopTimer : public link::HopTimer {
 public:
  QTimer timer;
  QtHopTimer() { timer.setTimerType(Qt::PreciseTimer); }
  void Start(int periodMs) override { timer.start(periodMs); }
  void Stop() override { timer.stop(); }
};

class LiveTestPage : public QWidget {
  Q_OBJECT
 public:
  LiveTestPage(LiveHooks hooks, QWidget* parent = nullptr);
  ~LiveTestPage() override;

  link::CPageTest& Model() { return model_; }
  LinkSession& Session() { return session_; }
  QtHopTimer& HopTimer() { return timer_; }
  // One tick of the hopping timer, as the timer runs it.
  void HopTick();
  void Leave();

 protected:
  void hideEvent(QHideEvent* event) override;

 private:
  void ReadControls();
  void ShowFields();
  void ShowEnables();
  void Send(const link::Outgoing& out) { session_.Send(out); }

  std::unique_ptr<Ui::LiveTestPage> ui_;
  LiveHooks hooks_;
  QtHopTimer timer_;
  link::CPageTest model_;
  LinkSession session_{nullptr, hooks_.port, hooks_.silence};
  LinkPanel* panel_;
  ControlBinder* binder_;
  bool leaving_ = false;
};

}  // namespace tessera::ui
