#pragma once
// "地址池设置": the database, the pool and this station's name. OK checks the entries
// (a password in the URL is refused) and keeps them in the window's settings; the window
// then opens the pool.
#include <QDialog>
#include <memory>

#include "ui/PoolSetting.h"

namespace Ui {
class PoolDialog;
}

namespace kestrel::ui {

class PoolDialog : public QDialog {
  Q_OBJECT
 public:
  explicit PoolDialog(const PoolSetting& current, QWidget* parent = nullptr);
  ~PoolDialog() override;

  // The entries as they stand (station left empty: the host name).
  PoolSetting setting() const;

 public slots:
  void accept() override;

 private:
  std::unique_ptr<Ui::PoolDialog> ui_;
};

}  // namespace kestrel::ui
