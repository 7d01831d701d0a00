#pragma once
// The band dialog: one equalizer band's type, side, gain, frequencies and switch, with
// the band's response plotted from the coefficients the board would run, following
// every keystroke. OK validates as the core's CEqConfigDlg says.
#include <QDialog>
#include <functional>
#include <memory>

#include "tessera/core/eq/CEqConfigDlg.h"
#include "tessera/ui/pages/ControlBinder.h"

namespace Ui {
class EqConfigDialog;
}

namespace tessera::ui {

class ResponsePlot;

class EqConfigDialog : public QDialog {
  Q_OBJECT
 public:
  EqConfigDialog(const CEqConfigDlg& model, std::function<void(const QString&)> showMessage,
                 QWidget* parent = nullptr);
  ~EqConfigDialog() override;

  const CEqConfigDlg& Model() const { return model_; }
  ResponsePlot* Plot() const { return plot_; }
  // OK: validates; on success the dialog is accepted, otherwise the message is shown,
  // the field gets the focus and the dialog stays.
  bool TryAccept();

 private:
  void UpdatePlot();

  std::unique_ptr<Ui::EqConfigDialog> ui_;
  CEqConfigDlg model_;
  std::function<void(const QString&)> showMessage_;
  ResponsePlot* plot_;
  ControlBinder* binder_;
};

}  // namespace tessera::ui
