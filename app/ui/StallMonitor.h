// StallMonitor: measures how long the window's thread stays away from its event loop. A
// heartbeat timer fires every few milliseconds; the longest gap between two beats, less the
// period, is the longest stall a user could have felt.
#pragma once

#include <QElapsedTimer>
#include <QTimer>

namespace recast::ui {

constexpr int kHeartbeatMs = 5;

class StallMonitor final : public QObject {
  Q_OBJECT

 public:
  explicit StallMonitor(QObject* parent = nullptr);

  // Forgets the longest stall so far (a measurement starts).
  void Reset();
  qint64 LongestStallMs() const { return longest_; }

 private:
  void Beat();

  QTimer timer_;
  QElapsedTimer clock_;
  qint64 last_ = 0;
  qint64 longest_ = 0;
};

}  // namespace recast::ui
