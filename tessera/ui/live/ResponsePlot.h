#pragma once
// Magnitude response in dB over a logarithmic frequency axis up to half the sampling
// rate: one thick curve (what the board runs) and optional thin ones (each band).
// Painted here rather than with a chart library: the plot is two axes and a few
// polylines, it must redraw on every keystroke of the band dialog, and it renders the
// same on the offscreen platform the tests and screenshots use.
#include <QString>
#include <QWidget>
#include <vector>

#include "tessera/core/link/EqResponse.h"

namespace tessera::ui {

class ResponsePlot : public QWidget {
  Q_OBJECT
 public:
  using Curve = link::SampledResponse;
  explicit ResponsePlot(QWidget* parent = nullptr);
  void SetCurves(Curve main, std::vector<Curve> thin, double topHz);
  const Curve& MainCurve() const { return main_; }
  QSize sizeHint() const override { return {480, 220}; }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  Curve main_;
  std::vector<Curve> thin_;
  double topHz_ = 22050;
};

}  // namespace tessera::ui
