#include "StallMonitor.h"

namespace recast::ui {

StallMonitor::StallMonitor(QObject* parent) : QObject(parent) {
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &StallMonitor::Beat);
  clock_.start();
  timer_.start(kHeartbeatMs);
}

void StallMonitor::Reset() {
  last_ = clock_.elapsed();
  longest_ = 0;
}

void StallMonitor::Beat() {
  const qint64 now = clock_.elapsed();
  longest_ = std::max(longest_, now - last_ - kHeartbeatMs);
  last_ = now;
}

}  // namespace recast::ui
