#include "LoadMeter.h"

#include <QPainter>
#include <QPainterPath>

namespace recast::ui {
namespace {

constexpr size_t kHistory = 30;  // half a minute
constexpr int kGridSteps = 4;
const QColor kBackground(16, 32, 40);
const QColor kGrid(40, 80, 90);
const QColor kCurve(128, 255, 0);
const QColor kFill(128, 255, 0, 70);

}  // namespace

LoadMeter::LoadMeter(QWidget* parent, std::string statPath)
    : QWidget(parent), load_(std::move(statPath)) {
  connect(&timer_, &QTimer::timeout, this, &LoadMeter::SampleNow);
  timer_.start(kLoadMeterPeriodMs);
  SampleNow();  // the first sample only stores the counters
}

void LoadMeter::SampleNow() {
  const std::optional<int> load = load_.Sample();
  if (!load) return;
  history_.push_back(*load);
  while (history_.size() > kHistory) history_.pop_front();
  update();
}

void LoadMeter::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRectF area = rect();
  painter.fillRect(area, kBackground);
  painter.setPen(kGrid);
  for (int i = 1; i < kGridSteps; ++i) {
    const double y = area.height() * i / kGridSteps;
    painter.drawLine(QPointF(0, y), QPointF(area.width(), y));
  }
  if (history_.empty()) return;
  // The newest sample sits at the right edge; older ones scroll off to the left.
  const double step = area.width() / static_cast<double>(kHistory - 1);
  const double right = area.width() - 1;
  QPainterPath curve;
  for (size_t i = 0; i < history_.size(); ++i) {
    const double x = right - step * static_cast<double>(history_.size() - 1 - i);
    const double y = area.height() - 1 - (area.height() - 2) * history_[i] / 100.0;
    if (i == 0)
      curve.moveTo(x, y);
    else
      curve.lineTo(x, y);
  }
  QPainterPath filled = curve;
  filled.lineTo(right, area.height());
  filled.lineTo(right - step * static_cast<double>(history_.size() - 1), area.height());
  filled.closeSubpath();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillPath(filled, kFill);
  painter.setPen(QPen(kCurve, 1.2));
  painter.drawPath(curve);
  painter.setPen(Qt::white);
  QFont small = font();
  small.setPixelSize(std::max(8, static_cast<int>(area.height()) - 4));
  painter.setFont(small);
  painter.drawText(area.adjusted(3, 0, -3, 0), Qt::AlignLeft | Qt::AlignVCenter,
                   QString("CPU %1%").arg(history_.back()));
}

}  // namespace recast::ui
