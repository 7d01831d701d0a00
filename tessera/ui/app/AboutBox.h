#pragma once
// "About Tessera": the application icon, the version line, a rights line and OK.
#include <QDialog>
#include <memory>

namespace Ui {
class AboutBox;
}

namespace tessera::ui {

class AboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit AboutBox(QWidget* parent = nullptr);
  ~AboutBox() override;

 private:
  std::unique_ptr<Ui::AboutBox> ui_;
};

}  // namespace tessera::ui
