// LoadMeter: the processor load meter. Every second it samples the load (CpuLoad) and redraws
// a small history graph with the latest value as text.
#pragma once

#include <QTimer>
#include <QWidget>
#include <deque>

#include "CpuLoad.h"

namespace recast::ui {

constexpr int kLoadMeterPeriodMs = 1000;

class LoadMeter final : public QWidget {
  Q_OBJECT

 public:
  explicit LoadMeter(QWidget* parent = nullptr, std::string statPath = "/proc/stat");

  // Takes a sample now (the timer calls it every second).
  void SampleNow();
  const std::deque<int>& History() const { return history_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  CpuLoad load_;
  QTimer timer_;
  std::deque<int> history_;  // oldest first, at most kHistory values
};

}  // namespace recast::ui
