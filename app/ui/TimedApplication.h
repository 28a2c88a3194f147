// TimedApplication: the application object, timing how long the window's thread spends on
// each event it handles. Events that run an event loop of their own (a modal dialog) are not
// counted, as the thread keeps serving events meanwhile.
#pragma once

#include <QApplication>

namespace recast::ui {

class TimedApplication final : public QApplication {
  Q_OBJECT

 public:
  TimedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

  static TimedApplication* Instance() { return qobject_cast<TimedApplication*>(QCoreApplication::instance()); }
  bool notify(QObject* receiver, QEvent* event) override;

  void Reset() { longestEventMs_ = 0; }
  qint64 LongestEventMs() const { return longestEventMs_; }

 private:
  int depth_ = 0;         // window thread only
  bool nested_ = false;   // an event loop ran inside the outermost event
  qint64 longestEventMs_ = 0;
};

}  // namespace recast::ui
