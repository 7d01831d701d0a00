#pragma once
// "Echo Test" page: suppression levels and gains sent as they are picked, the two voice
// equalizers with their dialog and apply buttons, Save into the System page's volumes.
// It only writes to the port: link checks go unanswered and nothing is logged.
#include <QWidget>
#include <memory>

#include "tessera/core/pages/CPageEcho.h"
#include "tessera/core/pages/CPageSystem.h"
#include "tessera/link/LinkSession.h"
#include "tessera/ui/live/LinkPanel.h"
#include "tessera/ui/live/LiveHooks.h"

namespace Ui {
class LiveEchoPage;
}
class QComboBox;

namespace tessera::ui {

class LiveEchoPage : public QWidget {
  Q_OBJECT
 public:
  LiveEchoPage(CPageEcho& model, CPageSystem& system, LiveHooks hooks, QWidget* parent = nullptr);
  ~LiveEchoPage() override;

  LinkSession& Session() { return session_; }
  void Reload();
  void Leave();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void ShowEnables();
  void LevelPicked(int listId, int index);
  void EditVoiceEq(int k);

  std::unique_ptr<Ui::LiveEchoPage> ui_;
  CPageEcho& model_;
  CPageSystem& system_;
  LiveHooks hooks_;
  LinkSession session_{nullptr, hooks_.port, hooks_.silence};
  LinkPanel* panel_;
};

}  // namespace tessera::ui
