#include "BatchCommand.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <thread>

extern "C" {
#include <libavutil/log.h>
}

#include "AuditedConverter.h"
#include "BatchOptions.h"
#include "BatchView.h"
#include "ComRuntime.h"
#include "ConvertDriver.h"
#include "DriverTexts.h"
#include "ExitCodes.h"
#include "FfdshowSettings.h"
#include "GraphClasses.h"
#include "GraphConverter.h"
#include "IntegrityReport.h"
#include "OutputNaming.h"
#include "ParallelBatch.h"
#include "VideoSetDlg.h"

namespace recast::cli {
namespace {

// How long one poll of the running jobs lasts. The window's timer polls every 500 ms; here
// nothing else needs the thread, so it waits on the graphs' events instead of sleeping: a job
// that completes is seen at once, and the next file starts as soon as one ends.
constexpr LONG kPollPeriodMs = 50;

std::atomic<bool> interrupted{false};

void OnInterrupt(int) {
  interrupted = true;
  // A second Ctrl-C ends the program at once.
  signal(SIGINT, SIG_DFL);
}

// Ctrl-C stops the running job as the window's Stop button does, while this object lives.
class InterruptGuard {
 public:
  InterruptGuard() {
    interrupted = false;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previous_);
  }
  ~InterruptGuard() { sigaction(SIGINT, &previous_, nullptr); }
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

 private:
  struct sigaction previous_ {};
};

// Writes the AVI encoder settings the options name; the encoder reads them when it starts.
bool SaveAviSettings(const BatchOptions& options, std::ostream& err) {
  VideoEncoderSettings video = VideoEncoderSettings::Load();
  if (options.aviBitRateKbps) {
    video.bitRateKbps = *options.aviBitRateKbps;
    video.quantizer = 0;
  }
  if (options.aviQuantizer) video.quantizer = *options.aviQuantizer;
  if (options.aviKeyInterval) video.keyInterval = *options.aviKeyInterval;
  AudioProcessorSettings audio = AudioProcessorSettings::Load();
  if (options.aviAudioRate) audio.resampleRate = *options.aviAudioRate;
  if (FAILED(video.Save()) || FAILED(audio.Save())) {
    err << "recast: cannot store the AVI encoder settings in the registry\n";
    return false;
  }
  return true;
}

// The options' WMV parameters, typed into the Video Set dialog after each file's defaults.
void EditParameters(const BatchOptions& options, VideoSettings& settings) {
  CVideoSetDlg dialog(settings);
  if (options.cbrKbps) settings.bitRateKbps = *options.cbrKbps;
  if (options.vbrQuality) settings.quality = *options.vbrQuality;
  if (options.width && options.height) {
    settings.width = *options.width;
    settings.height = *options.height;
  }
  if (const std::optional<size_t> item = PresetComboItem(options.preset)) {
    dialog.EnablePresets();
    dialog.ChoosePreset(*item);
  }
}

void AddInputs(CConvertDriver& driver, const std::vector<std::string>& inputs) {
  for (const std::string& input : inputs) {
    std::error_code error;
    if (std::filesystem::is_directory(input, error))
      driver.AddFolder(input);
    else
      driver.AddFileChecked(input);
  }
}

void RunWalk(CConvertDriver& driver) {
  driver.SelectRow(0);
  driver.Start();
  while (driver.State() == ConvertState::Converting) {
    if (interrupted) {
      driver.Stop();
      break;
    }
    driver.OnTimer(kDriverTimerId);
  }
}

int Summarise(const std::vector<RowOutcome>& rows, std::ostream& out) {
  std::map<std::string, int> counts;
  for (const RowOutcome& row : rows) ++counts[row.status.empty() ? "Not converted" : row.status];
  out << rows.size() << (rows.size() == 1 ? " file:" : " files:");
  const char* separator = " ";
  for (const auto& [status, count] : counts) {
    out << separator << count << " " << status;
    separator = ", ";
  }
  out << "\n";
  const bool allConverted = !rows.empty() && counts[std::string(texts::kConvertSuccess)] ==
                                                 static_cast<int>(rows.size());
  return allConverted ? kExitOk : kExitFailure;
}

void SetUpDriver(const BatchOptions& options, CConvertDriver& driver) {
  driver.SetOutputKind(options.kind);
  driver.SetCbr(!options.vbrQuality.has_value());
  driver.SetDialogEdits([&options](VideoSettings& settings) { EditParameters(options, settings); });
}

// Each file's converter, noting what the integrity report needs in `log`. Its progress polls
// wait for the graph's events for `waitMs`: the poll period shared by the jobs polled in turn.
ConverterFactory AuditedFactory(MessageSink messages, AuditLog& log, LONG waitMs) {
  return [messages = std::move(messages), &log, waitMs] {
    auto converter = std::make_unique<CConverter>(messages);
    converter->SetCompletionWait(waitMs);
    return std::make_unique<AuditedConverter>(std::move(converter), log);
  };
}

// The walk's status, unless the report was asked for and could not be written. The views show
// file names; the report names each row's files by the full paths in `planned`, in row order.
int Finish(const BatchOptions& options, const std::vector<RowOutcome>& shown,
           const std::vector<PlannedRow>& planned, const AuditLog& log, std::ostream& out,
           std::ostream& err) {
  const int status = Summarise(shown, out);
  if (options.reportPath.empty()) return status;
  std::vector<RowOutcome> rows;
  for (size_t row = 0; row < planned.size(); ++row) {
    rows.push_back({planned[row].source, planned[row].output,
                    row < shown.size() ? shown[row].status : std::string()});
  }
  return WriteIntegrityReport(options.reportPath, rows, log, err) ? status : kExitFailure;
}

int Jobs(const BatchOptions& options) {
  if (options.jobs) return static_cast<int>(*options.jobs);
  return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

// The list built by one driver as for the walk one file at a time, then converted by drivers
// of one row each, several at once.
int ConvertInParallel(const BatchOptions& options, int jobs, std::ostream& out, std::ostream& err) {
  BatchView planView(out, err, false);
  CConvertDriver planner(planView, [] { return std::unique_ptr<IConverter>(); });
  SetUpDriver(options, planner);
  AddInputs(planner, options.inputs);
  if (planner.RowCount() == 0) {
    err << "recast: nothing to convert\n";
    return kExitFailure;
  }
  ParallelView view(out, err, &out == &std::cout && isatty(STDOUT_FILENO));
  std::vector<PlannedRow> rows;
  for (int row = 0; row < planner.RowCount(); ++row) {
    const Row& planned = planner.RowAt(row);
    rows.push_back({planned.sourcePath, planned.outputPath});
    view.AddRow(FileNameOf(planned.sourcePath), FileNameOf(planned.outputPath));
  }
  AuditLog log;
  const LONG waitMs = std::max<LONG>(1, kPollPeriodMs / jobs);
  const ConverterFactoryFor factory = [&log, waitMs](ParallelView& shown) -> ConverterFactory {
    const MessageSink messages = [&shown](std::string_view text, std::string_view caption) {
      shown.ShowMessage(text, caption);
    };
    return AuditedFactory(messages, log, waitMs);
  };
  {
    const InterruptGuard guard;
    RunParallelWalk(rows, jobs, [&options](CConvertDriver& driver) { SetUpDriver(options, driver); },
                    factory, view, interrupted);
  }
  return Finish(options, view.Outcomes(), rows, log, out, err);
}

int Convert(const BatchOptions& options, std::ostream& out, std::ostream& err) {
  if (options.kind == OutputKind::Avi && !SaveAviSettings(options, err)) return kExitFailure;
  const int jobs = Jobs(options);
  if (jobs > 1) return ConvertInParallel(options, jobs, out, err);
  BatchView view(out, err, &out == &std::cout && isatty(STDOUT_FILENO));
  const MessageSink messages = [&view](std::string_view text, std::string_view caption) {
    view.ShowMessage(text, caption);
  };
  AuditLog log;
  CConvertDriver driver(view, AuditedFactory(messages, log, kPollPeriodMs));
  SetUpDriver(options, driver);
  AddInputs(driver, options.inputs);
  if (driver.RowCount() == 0) {
    err << "recast: nothing to convert\n";
    return kExitFailure;
  }
  {
    const InterruptGuard guard;
    RunWalk(driver);
  }
  std::vector<PlannedRow> rows;
  for (int row = 0; row < driver.RowCount(); ++row)
    rows.push_back({driver.RowAt(row).sourcePath, driver.RowAt(row).outputPath});
  return Finish(options, view.Outcomes(), rows, log, out, err);
}

}  // namespace

int RunBatchCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const ParsedBatch parsed = ParseBatchOptions(args);
  if (parsed.help) {
    out << kBatchUsage;
    return kExitOk;
  }
  if (!parsed.options) {
    err << "recast --batch: " << parsed.error << "\n" << kBatchUsage;
    return kExitUsage;
  }
  // The codec libraries' own chatter would break the progress lines; the debug switch keeps it.
  const char* debug = std::getenv("RECAST_DEBUG");
  if (!debug || std::string_view(debug) != "1") av_log_set_level(AV_LOG_ERROR);
  if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
    err << texts::kCaptionAttention << ": " << texts::kComFailed << "\n";
    return kExitFailure;
  }
  int status = kExitFailure;
  {
    // The graph manager, the mapper and the device enumerator live in this program; the
    // filters come from the modules registered in the registry.
    const InProcessGraphClasses graphClasses;
    status = Convert(*parsed.options, out, err);
  }
  CoUninitialize();
  return status;
}

}  // namespace recast::cli
