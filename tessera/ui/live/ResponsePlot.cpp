#include "tessera/ui/live/ResponsePlot.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace tessera::ui {

namespace {
constexpr double kLowHz = 20;
}

ResponsePlot::ResponsePlot(QWidget* parent) : QWidget(parent) {
  setMinimumHeight(180);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void ResponsePlot::SetCurves(Curve main, std::vector<Curve> thin, double topHz) {
  main_ = std::move(main);
  thin_ = std::move(thin);
  topHz_ = std::max(topHz, kLowHz * 2);
  update();
}

void ResponsePlot::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.fillRect(rect(), QColor(252, 252, 250));
  const QFontMetrics fm(font());
  const QRectF area(fm.horizontalAdvance("-24 dB") + 10, 8,
                    width() - fm.horizontalAdvance("-24 dB") - 22, height() - fm.height() - 18);
  if (area.width() < 20 || area.height() < 20) return;

  // dB range: at least +-12, widened in 6 dB steps to hold every curve.
  double lo = -12, hi = 12;
  auto widen = [&](const Curve& c) {
    for (double v : c.db) {
      if (!std::isfinite(v)) continue;
      lo = std::min(lo, std::floor(v / 6) * 6);
      hi = std::max(hi, std::ceil(v / 6) * 6);
    }
  };
  widen(main_);
  for (const auto& c : thin_) widen(c);
  lo = std::max(lo, -60.0);
  hi = std::min(hi, 60.0);
  const double logLo = std::log10(kLowHz), logHi = std::log10(topHz_);
  auto x = [&](double hz) {
    return area.left() + (std::log10(std::max(hz, kLowHz)) - logLo) / (logHi - logLo) * area.width();
  };
  auto y = [&](double db) {
    return area.top() + (hi - std::clamp(db, lo, hi)) / (hi - lo) * area.height();
  };

  p.setPen(QColor(60, 60, 60));
  const double dbStep = (hi - lo) > 48 ? 12 : 6;
  for (double d = lo; d <= hi + 1e-9; d += dbStep) {
    p.setPen(QPen(d == 0 ? QColor(150, 150, 150) : QColor(225, 225, 225), 1));
    p.drawLine(QPointF(area.left(), y(d)), QPointF(area.right(), y(d)));
    p.setPen(QColor(60, 60, 60));
    p.drawText(QRectF(0, y(d) - fm.height() / 2.0, area.left() - 4, fm.height()),
               Qt::AlignRight | Qt::AlignVCenter, QString("%1 dB").arg(d));
  }
  for (double decade = 10; decade <= topHz_; decade *= 10) {
    for (int m : {1, 2, 5}) {
      const double hz = decade * m;
      if (hz < kLowHz || hz > topHz_) continue;
      p.setPen(QPen(QColor(225, 225, 225), 1));
      p.drawLine(QPointF(x(hz), area.top()), QPointF(x(hz), area.bottom()));
      p.setPen(QColor(60, 60, 60));
      const QString label = hz >= 1000 ? QString("%1k").arg(hz / 1000) : QString::number(hz);
      p.drawText(QRectF(x(hz) - 30, area.bottom() + 2, 60, fm.height()), Qt::AlignCenter, label);
    }
  }
  p.setPen(QColor(120, 120, 120));
  p.drawRect(area);

  auto draw = [&](const Curve& c, const QPen& pen) {
    QPainterPath path;
    for (size_t i = 0; i < c.hz.size() && i < c.db.size(); ++i) {
      if (c.hz[i] > topHz_ || !std::isfinite(c.db[i])) continue;
      const QPointF pt(x(c.hz[i]), y(c.db[i]));
      if (path.elementCount() == 0) path.moveTo(pt);
      else path.lineTo(pt);
    }
    p.setPen(pen);
    p.drawPath(path);
  };
  p.setClipRect(area);
  for (const auto& c : thin_) draw(c, QPen(QColor(120, 150, 200), 1, Qt::DashLine));
  draw(main_, QPen(QColor(20, 90, 170), 2.2));
}

}  // namespace tessera::ui
