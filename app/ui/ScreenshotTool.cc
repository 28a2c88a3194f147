// recast-screenshot: opens the Recast window with the given recordings, converts them and
// previews the first, and writes three pictures of the window: one while a file converts
// (progress cells and load meter), one while the preview plays (the "Preview" page) and one
// after the same files were converted to MP4 without re-encoding (the "Destination" page). It
// also reports the longest stall of the window's thread during the first conversion.
//
// Usage: recast-screenshot OUTPUT_DIR RECORDING...   (the filter modules must be registered)
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <cstdio>

extern "C" {
#include <libavutil/log.h>
}

#include "ComRuntime.h"
#include "ControlIds.h"
#include "GraphClasses.h"
#include "GraphConverter.h"
#include "InfoPages.h"
#include "LoadMeter.h"
#include "MainWindow.h"
#include "PreviewArea.h"
#include "StallMonitor.h"
#include "TimedApplication.h"

namespace {

using namespace recast;
using namespace recast::ui;

constexpr int kLimitMs = 300'000;
constexpr int kShownProgress = 35;

bool WaitFor(const std::function<bool()>& done, int limitMs = kLimitMs) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > limitMs) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
  return true;
}

bool Save(QWidget& window, const QString& path) {
  QApplication::processEvents();
  const bool saved = window.grab().save(path);
  std::printf("%s %s\n", saved ? "wrote" : "cannot write", qPrintable(path));
  return saved;
}

// The same files converted to MP4 without re-encoding, shown with the Destination page.
int ConvertCopies(MainWindow& window, const QString& outDir, const QStringList& files) {
  window.OnOutputKind(OutputKind::Mp4);
  if (!WaitFor([&] { return !window.Busy() && window.Model().rowCount() == 0; })) return 1;
  window.AddPaths(files);
  if (!WaitFor([&] { return !window.Busy() && window.Model().rowCount() == files.size(); })) return 1;
  window.OnRowClicked(0);
  WaitFor([&] { return !window.Busy(); });
  window.OnStart();
  if (!WaitFor([&] { return !window.Busy() && window.Snapshot().state == ConvertState::Finished; }))
    return 1;
  window.OnRowClicked(0);
  WaitFor([&] { return !window.Busy(); });
  window.Pages()->setCurrentIndex(kDestinationPage);
  WaitFor([&] { return !window.Busy(); });
  return Save(window, outDir + "/mp4.png") ? 0 : 1;
}

int Run(MainWindow& window, const QString& outDir, const QStringList& files) {
  window.AddPaths(files);
  if (!WaitFor([&] { return !window.Busy() && window.Model().rowCount() == files.size(); })) return 1;
  window.OnRowClicked(0);
  WaitFor([&] { return !window.Busy(); });
  // Everything from here to the end of the walk counts: preparing, starting and stopping.
  TimedApplication::Instance()->Reset();
  window.OnStart();
  const auto progress = [&window] {
    const int row = window.Snapshot().context.currentPosition - 1;
    return window.Model().Text(row, kColumnProgress).toInt();
  };
  // Wait for a row well into its conversion with a few load samples drawn.
  const auto finished = [&window] { return window.Snapshot().state == ConvertState::Finished; };
  if (!WaitFor([&] {
        return finished() || (window.Snapshot().state == ConvertState::Converting &&
                              progress() >= kShownProgress &&
                              window.findChild<LoadMeter*>()->History().size() >= 3);
      }))
    return 1;
  if (finished()) {
    std::fprintf(stderr, "the files converted before a picture could be taken: give longer ones\n");
    return 1;
  }
  if (!Save(window, outDir + "/converting.png")) return 1;
  window.Stalls()->Reset();  // the grab itself is no stall of the window
  if (!WaitFor([&] { return !window.Busy() && window.Snapshot().state == ConvertState::Finished; }))
    return 1;
  std::printf(
      "while converting: longest event handled by the window's thread %lld ms, longest gap "
      "between its heartbeats %lld ms (includes waiting for a processor); longest driver call "
      "on the worker %lld ms\n",
      static_cast<long long>(TimedApplication::Instance()->LongestEventMs()),
      static_cast<long long>(window.Stalls()->LongestStallMs()),
      static_cast<long long>(window.LongestDriverCallMs()));

  window.OnRowClicked(0);
  WaitFor([&] { return !window.Busy(); });
  window.PreviewPlay();
  if (!WaitFor([&] { return window.PreviewOpen() && window.Preview()->PicturesReceived() > 30; })) return 1;
  if (!Save(window, outDir + "/preview.png")) return 1;
  window.PreviewStop();
  return ConvertCopies(window, outDir, files);
}

}  // namespace

int main(int argc, char** argv) {
  TimedApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: recast-screenshot OUTPUT_DIR RECORDING...\n");
    return 2;
  }
  av_log_set_level(AV_LOG_ERROR);
  if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 1;
  int status = 1;
  {
    const InProcessGraphClasses classes;
    MainWindow window([](MessageSink messages, PropertyFrameFn frame) -> ConverterFactory {
      return [messages, frame] { return std::make_unique<CConverter>(messages, frame); };
    });
    window.Hooks().message = [](const QString& text, const QString& caption) {
      std::fprintf(stderr, "%s: %s\n", qPrintable(caption), qPrintable(text));
    };
    window.show();
    QStringList files;
    for (int i = 2; i < argc; ++i) files << QString::fromLocal8Bit(argv[i]);
    QDir().mkpath(QString::fromLocal8Bit(argv[1]));
    status = Run(window, QString::fromLocal8Bit(argv[1]), files);
    window.close();
  }
  CoUninitialize();
  return status;
}
