#pragma once
// The About box: the application icon, the tool's name and version, an OK button.
#include <QDialog>
#include <QIcon>
#include <memory>

namespace Ui {
class AboutDialog;
}

namespace kestrel::ui {

class AboutBox : public QDialog {
  Q_OBJECT
 public:
  AboutBox(const QIcon& icon, QWidget* parent = nullptr);
  ~AboutBox() override;

 private:
  std::unique_ptr<Ui::AboutDialog> ui_;
};

}  // namespace kestrel::ui
