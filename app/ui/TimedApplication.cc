#include "TimedApplication.h"

#include <QElapsedTimer>
#include <QThread>

namespace recast::ui {

bool TimedApplication::notify(QObject* receiver, QEvent* event) {
  if (QThread::currentThread() != thread()) return QApplication::notify(receiver, event);
  if (depth_ > 0) nested_ = true;
  if (depth_ == 0) nested_ = false;
  ++depth_;
  QElapsedTimer clock;
  clock.start();
  const bool handled = QApplication::notify(receiver, event);
  const qint64 spent = clock.elapsed();
  --depth_;
  if (depth_ == 0 && !nested_) longestEventMs_ = std::max(longestEventMs_, spent);
  return handled;
}

}  // namespace recast::ui
