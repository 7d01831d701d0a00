#pragma once
// "Echo Test" page: suppression levels and gains sent as they are picked, the two voice
// equalizers with their dialog and apply buttons, Save into the System page's volumes.
// It only writes to the port: link checks go unanswered and nothing is logged. The
// settings are read from the document and changed through its operations.
#include <QWidget>
#include <memory>
#include <optional>

#include "tessera/core/document/CTesseraView.h"
#include "tessera/link/LinkSession.h"
#include "tessera/ui/live/LinkPanel.h"
#include "tessera/ui/live/LiveHooks.h"
#include "tessera/ui/live/PageFollower.h"
#include "tessera/ui/pages/ControlBinder.h"

namespace Ui {
class LiveEchoPage;
}

namespace tessera::ui {

class LiveEchoPage : public QWidget {
  Q_OBJECT
 public:
  LiveEchoPage(CTesseraView& doc, LiveHooks hooks, QWidget* parent = nullptr);
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
  CTesseraView& doc_;
  LiveHooks hooks_;
  LinkSession session_{nullptr, hooks_.port, hooks_.silence};
  LinkPanel* panel_;
  ControlBinder* binder_;
  std::optional<PageFollower> follow_;  // made once the widgets are; dropped first
};

}  // namespace tessera::ui
