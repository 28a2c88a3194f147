// CConvertDriver: the conversion list and the driver that walks it, without a GUI toolkit.
//
// The host (the main window, or the batch loop) forwards its commands to the operations
// below and calls OnTimer(kDriverTimerId) every kDriverTimerPeriodMs; the driver polls the
// running converter from there, so everything happens on the host's one thread and nothing
// is locked. The driver speaks to the window only through IDriverView and to the conversion
// of one file only through IConverter, one converter at a time.
//
// Positions are 1-based (the current position names the row being, or about to be,
// converted); rows are 0-based, so the current row is current position - 1.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "ConvertParams.h"
#include "ConvertState.h"
#include "ConvertTypes.h"
#include "Converter.h"
#include "DriverView.h"
#include "FileRows.h"
#include "HeaderProbe.h"
#include "JobList.h"
#include "SourceFiles.h"

namespace recast {

constexpr int kDriverTimerId = 1025;
constexpr int kDriverTimerPeriodMs = 500;
// A running job whose headway stays the same this long is stalled: it ends as failed rather
// than being polled for ever.
constexpr std::chrono::milliseconds kStallLimit{30'000};

using SteadyClock = std::function<std::chrono::steady_clock::time_point()>;

class CConvertDriver {
 public:
  CConvertDriver(IDriverView& view, ConverterFactory factory);
  ~CConvertDriver();
  CConvertDriver(const CConvertDriver&) = delete;
  CConvertDriver& operator=(const CConvertDriver&) = delete;

  // ---- The list ----------------------------------------------------------------------
  // The Add file command: accepts only recorder file endings, then adds with AddFile.
  // Commands that change the list or the current row are ignored while a job converts.
  bool AddFileChecked(const std::string& path);
  // Adds one file at the end of the list; false when it is already listed.
  bool AddFile(const std::string& path);
  // Adds every recorder file directly inside `folder`.
  void AddFolder(const std::string& folder);
  void DeleteSelected();
  void MoveUp();
  void MoveDown();
  void ClearList();
  // A click on a row: makes it the current job (ignored while converting).
  void SelectRow(int row);
  // The output kind radios: empties the list, as its rows were named for the other kind.
  void SetOutputKind(OutputKind kind);
  // The CBR/VBR combo box.
  void SetCbr(bool cbr);
  // What the user types into the Video Set dialog: applied to the parameters each time a job
  // is prepared, after the defaults derived from the file (the batch command line's options).
  void SetDialogEdits(std::function<void(VideoSettings&)> edits) { dialogEdits_ = std::move(edits); }

  // The stall watch's limit and clock (tests shorten the one and drive the other).
  void SetStallWatch(std::chrono::milliseconds limit, SteadyClock clock);

  // ---- The walk ----------------------------------------------------------------------
  // Converts from the current position to the end of the list.
  void Start();
  // Stops the running job; a later Start resumes with the same row.
  void Stop();
  // Opens the current file in a converter if it is not yet (before Video set/Audio set).
  bool EnsurePrepared();
  // The periodic step: polls progress and moves on when a job completes, fails or stalls.
  void OnTimer(int timerId);

  // ---- What the window shows ---------------------------------------------------------
  ConvertState State() const { return state_; }
  int RowCount() const { return rows_.Count(); }
  const Row& RowAt(int row) const { return rows_.At(row); }
  int CurrentPosition() const { return currentPosition_; }
  int SelectedRow() const { return selectedRow_; }
  const std::string& CurrentSourcePath() const { return currentSourcePath_; }
  const std::string& OutputPath() const { return outputPath_; }
  OutputKind Kind() const { return kind_; }
  bool Cbr() const { return cbr_; }
  const ProbeResult& Probe() const { return probe_; }
  const JobList& Records() const { return records_; }
  std::optional<SourceKind> LastSourceKind() const { return sourceKind_; }
  VideoSettings& Settings() { return settings_; }
  int32_t OutputWidth() const { return outputWidth_; }
  int32_t OutputHeight() const { return outputHeight_; }
  VideoStandard Standard() const { return standard_; }
  REFERENCE_TIME Duration() const { return duration_; }
  uint32_t EstimatedBitRate() const { return estimatedBitRate_; }
  IConverter* Converter() const { return converter_.get(); }

 private:
  enum class JobOutcome { Started, Refused, Failed };
  enum class StartOutcome { Started, ParamError, Failed };
  enum class ParamsOutcome { Sent, ParamError, Failed };

  // Preparation and starting of the current file.
  bool Prepare();
  bool PrepareOpened(const JobRecord& record);
  void ChooseOutputSize(const JobRecord& record, const VideoSizeAnswer& decoded);
  StartOutcome StartJob();
  ParamsOutcome ApplyWmvParams();

  // The walk.
  void ConvertFromCurrent();
  JobOutcome ConvertAtCurrentPosition();
  bool AdvanceToNextJob();
  bool Stalled();
  void EndJob(RowStatus status, std::string_view text);
  void Teardown();
  HRESULT HaltConverter();

  // Display helpers.
  void MarkFailed(int row, std::string_view text);
  void ShowRowPaths(int row);
  void SelectListRow(int row);
  void Message(std::string_view text);
  void RefreshControls();
  bool HasConverterFor(const std::string& path) const;

  IDriverView& view_;
  ConverterFactory factory_;
  FileRows rows_;
  JobList records_;  // one per row, in the order the files were added
  JobList runList_;  // the rows' jobs, top to bottom, as of the last Start

  int currentPosition_ = 1;
  int selectedRow_ = 0;
  std::string currentSourcePath_;
  std::string outputPath_;
  OutputKind kind_ = OutputKind::Wmv;
  bool cbr_ = true;
  ConvertState state_ = ConvertState::Idle;
  std::unique_ptr<IConverter> converter_;
  ProbeResult probe_;
  std::optional<SourceKind> sourceKind_;

  // What the last preparation found.
  VideoSettings settings_;
  int32_t outputWidth_ = 0;
  int32_t outputHeight_ = 0;
  VideoStandard standard_ = kInitialStandard;
  REFERENCE_TIME duration_ = 0;
  uint32_t estimatedBitRate_ = 0;
  bool narrowNtsc_ = false;
  std::function<void(VideoSettings&)> dialogEdits_;

  // The stall watch of the running job.
  std::chrono::milliseconds stallLimit_ = kStallLimit;
  SteadyClock clock_ = [] { return std::chrono::steady_clock::now(); };
  ConvertHeadway lastHeadway_;
  std::chrono::steady_clock::time_point lastMoved_;
};

}  // namespace recast
