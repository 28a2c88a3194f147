#include "WindowCommand.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

extern "C" {
#include <libavutil/log.h>
}

#include "ComRuntime.h"
#include "ConverterTexts.h"
#include "GraphClasses.h"
#include "GraphConverter.h"
#include "MainWindow.h"
#include "StallMonitor.h"
#include "TimedApplication.h"

namespace recast::ui {
namespace {

constexpr int kExitFailure = 1;

// RECAST_STALL_REPORT=1 prints how long the window's thread and the driver's calls were held,
// for measuring responsiveness.
void ReportStalls(const MainWindow& window) {
  const char* report = std::getenv("RECAST_STALL_REPORT");
  if (!report || std::string_view(report) != "1") return;
  std::fprintf(stderr,
               "recast: longest event on the window's thread %lld ms, longest heartbeat gap %lld "
               "ms, longest driver call %lld ms\n",
               static_cast<long long>(TimedApplication::Instance()->LongestEventMs()),
               static_cast<long long>(window.Stalls()->LongestStallMs()),
               static_cast<long long>(window.LongestDriverCallMs()));
}

MainWindow::FactoryMaker ConverterFactoryMaker() {
  return [](MessageSink messages, PropertyFrameFn frame) -> ConverterFactory {
    return [messages, frame] { return std::make_unique<CConverter>(messages, frame); };
  };
}

}  // namespace

int RunWindow(int argc, char** argv, const std::vector<std::string>& paths) {
  TimedApplication app(argc, argv);
  app.setApplicationName("Recast");
  const char* debug = std::getenv("RECAST_DEBUG");
  if (!debug || std::string_view(debug) != "1") av_log_set_level(AV_LOG_ERROR);
  if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(texts::kCaptionAttention.size()),
                 texts::kCaptionAttention.data(), static_cast<int>(texts::kComFailed.size()),
                 texts::kComFailed.data());
    return kExitFailure;
  }
  int status = 0;
  {
    const InProcessGraphClasses graphClasses;
    MainWindow window(ConverterFactoryMaker());
    QStringList list;
    for (const std::string& path : paths) list << QString::fromStdString(path);
    window.AddPaths(list);
    window.show();
    status = app.exec();
    ReportStalls(window);
  }
  CoUninitialize();
  return status;
}

}  // namespace recast::ui
