// The conversion walk of the driver: preparing, starting, polling, the next job, stopping
// and teardown.
#include <algorithm>
#include <limits>

#include "ConvertDriver.h"
#include "DriverTexts.h"

namespace recast {
namespace {

// A recording of 288 or 240 lines that decodes at twice its height is a field-based
// recording: it is converted at the full width and its recorded height.
struct FieldHeight {
  int32_t recorded;
  int32_t decoded;
};
constexpr FieldHeight kPalField{288, 576};
constexpr FieldHeight kNtscField{240, 480};
constexpr int32_t kFullWidth = 704;
constexpr int32_t kNarrowNtscWidth = 176;
constexpr int32_t kNarrowNtscHeight = 120;

int32_t ToInt32(uint64_t value) {
  return static_cast<int32_t>(std::min<uint64_t>(value, std::numeric_limits<int32_t>::max()));
}

}  // namespace

// ---- Preparation ------------------------------------------------------------------------

bool CConvertDriver::Prepare() {
  if (converter_) Teardown();
  // The probe runs again so that the audio flag and the standard are those of this file.
  if (FileProbe probe = ProbeFile(currentSourcePath_, probe_); probe.result) probe_ = *probe.result;

  converter_ = factory_();
  const JobRecord* record = records_.Find(currentSourcePath_);
  if (!converter_ || FAILED(converter_->Open(currentSourcePath_)) || !record ||
      !PrepareOpened(*record)) {
    // Nothing half-prepared is kept, so a later start never runs an unbuilt converter.
    Teardown();
    return false;
  }
  state_ = ConvertState::Ready;
  return true;
}

bool CConvertDriver::PrepareOpened(const JobRecord& record) {
  duration_ = converter_->Duration();
  if (record.fileSize == 0 || record.frameRate <= 0) return false;
  if (converter_->HasGraph()) {
    VideoSizeAnswer decoded;
    if (FAILED(converter_->QueryVideoSize(decoded))) return false;
    ChooseOutputSize(record, decoded);
    duration_ = decoded.duration;
  }

  standard_ = StandardFromSize(outputWidth_, outputHeight_, standard_);
  estimatedBitRate_ = EstimateSourceBitRate(record.fileSize, duration_);
  const JobDefaults defaults{.severalFiles = rows_.Count() > 1,
                             .width = outputWidth_,
                             .height = outputHeight_,
                             .estimatedBitRate = estimatedBitRate_,
                             .cbr = cbr_,
                             .ntsc = standard_ == VideoStandard::Ntsc};
  if (ApplyDefaults(settings_, defaults) == DefaultsOutcome::NoBitRate) Message(texts::kParamError);
  if (dialogEdits_) dialogEdits_(settings_);
  cbr_ = settings_.cbr;

  const int row = rows_.IndexOf(currentSourcePath_);
  outputPath_ = row >= 0 ? rows_.At(row).outputPath : std::string();
  narrowNtsc_ = record.width == kNarrowNtscWidth && record.height == kNarrowNtscHeight;
  if (outputPath_.empty()) return false;
  if (FAILED(converter_->BuildOutput(kind_, outputPath_, record.frameRate, narrowNtsc_))) {
    state_ = ConvertState::Idle;
    return false;
  }
  return true;
}

void CConvertDriver::ChooseOutputSize(const JobRecord& record, const VideoSizeAnswer& decoded) {
  outputWidth_ = decoded.width;
  outputHeight_ = decoded.height;
  for (const FieldHeight& field : {kPalField, kNtscField}) {
    if (record.height == field.recorded && decoded.height == field.decoded) {
      outputWidth_ = kFullWidth;
      outputHeight_ = field.recorded;
    }
  }
}

bool CConvertDriver::EnsurePrepared() {
  if (rows_.Count() == 0) {
    Message(texts::kNoFileAdded);
    return false;
  }
  if (!rows_.Valid(currentPosition_ - 1)) return false;
  const std::string path = rows_.At(currentPosition_ - 1).sourcePath;
  if (converter_ && !HasConverterFor(path)) Teardown();
  const bool prepared = state_ == ConvertState::Ready || state_ == ConvertState::Converting;
  if (prepared && converter_ && converter_->HasGraph()) return true;
  currentSourcePath_ = path;
  if (!converter_ && !Prepare()) {
    state_ = ConvertState::ParamError;
    RefreshControls();
    return false;
  }
  return true;
}

// ---- Starting ---------------------------------------------------------------------------

void CConvertDriver::Start() {
  if (state_ == ConvertState::Converting) return;
  if (kind_ == OutputKind::Wmv && !cbr_ && rows_.Count() > 1) Message(texts::kVbrNote);

  runList_.Clear();
  for (int row = 0; row < rows_.Count(); ++row) {
    if (rows_.At(row).cells[kColumnSource].empty()) continue;
    if (const JobRecord* record = records_.Find(rows_.At(row).sourcePath)) runList_.Append(*record);
  }
  if (currentSourcePath_.empty()) {
    Message(texts::kChooseFile);
    return;
  }
  ConvertFromCurrent();
}

// Walks on while jobs fail, so a long run of bad files never deepens the call stack. A Start
// always walks to the end of the list; only Stop ends a walk early.
void CConvertDriver::ConvertFromCurrent() {
  while (ConvertAtCurrentPosition() == JobOutcome::Failed && AdvanceToNextJob()) {
  }
}

CConvertDriver::JobOutcome CConvertDriver::ConvertAtCurrentPosition() {
  if (runList_.Empty() || currentPosition_ < 1 || currentPosition_ > rows_.Count() ||
      currentPosition_ > runList_.Count()) {
    Message(texts::kFileListError);
    return JobOutcome::Refused;
  }
  const JobRecord& job = *runList_.At(currentPosition_);
  probe_.fileSize = job.fileSize;
  probe_.frameRate = job.frameRate;
  const int row = currentPosition_ - 1;
  currentSourcePath_ = rows_.At(row).sourcePath;
  if (converter_ && !HasConverterFor(currentSourcePath_)) Teardown();

  if (!converter_ && !Prepare()) {
    Teardown();
    rows_.SetText(row, kColumnStatus, texts::kCreateFailed);
    view_.RedrawList();
    return JobOutcome::Failed;
  }
  const StartOutcome started = StartJob();
  if (started != StartOutcome::Started) {
    Teardown();
    MarkFailed(row,
               started == StartOutcome::ParamError ? texts::kParaSetError : texts::kConvertError);
    return JobOutcome::Failed;
  }
  view_.ShowPaths(currentSourcePath_, outputPath_);
  lastHeadway_ = converter_->Headway();
  lastMoved_ = clock_();
  return JobOutcome::Started;
}

CConvertDriver::StartOutcome CConvertDriver::StartJob() {
  if (kind_ == OutputKind::Wmv && converter_) {
    const ParamBlock block = settings_.GetParams();
    outputWidth_ = block.width;
    outputHeight_ = block.height;
    cbr_ = block.constantBitRate != 0;
  }
  if (currentPosition_ > rows_.Count()) return StartOutcome::Failed;

  bool paramsSent = true;
  if (kind_ == OutputKind::Wmv) {
    const ParamsOutcome params = ApplyWmvParams();
    if (params == ParamsOutcome::ParamError) {
      state_ = ConvertState::ParamError;
      rows_.SetText(currentPosition_ - 1, kColumnStatus, texts::kParaSetError);
      return StartOutcome::ParamError;
    }
    paramsSent = params == ParamsOutcome::Sent;
  }
  // A converter whose parameters were refused is not run at all.
  const bool started = paramsSent && converter_ && SUCCEEDED(converter_->Start());
  if (started) {
    state_ = ConvertState::Converting;
  } else {
    Teardown();
    state_ = ConvertState::Idle;
  }
  RefreshControls();
  return started ? StartOutcome::Started : StartOutcome::Failed;
}

CConvertDriver::ParamsOutcome CConvertDriver::ApplyWmvParams() {
  if (!converter_ || !converter_->HasGraph()) {
    Teardown();
    if (!Prepare()) return ParamsOutcome::Failed;
  }
  const JobRecord* record = records_.Find(currentSourcePath_);
  if (!cbr_) settings_.quality = std::min(settings_.quality, kMaxQuality);
  // Checked before anything is sent, so the writer never sees a rate of 0.
  if (settings_.quality == 0 && settings_.bitRateKbps == 0) return ParamsOutcome::ParamError;

  WmvParams params;
  params.width = outputWidth_;
  params.height = outputHeight_;
  params.frameRate = record ? record->frameRate : probe_.frameRate;
  params.bitRate = cbr_ ? ToInt32(uint64_t{settings_.bitRateKbps} * kBitsPerKilobit)
                        : ToInt32(settings_.quality);
  params.audioEnabled = probe_.audio != 0 ? 1 : 0;
  params.constantBitRate = cbr_ ? 1 : 0;
  return SUCCEEDED(converter_->SetParams(params)) ? ParamsOutcome::Sent : ParamsOutcome::Failed;
}

// ---- Running and moving on ----------------------------------------------------------------

void CConvertDriver::OnTimer(int timerId) {
  if (timerId != kDriverTimerId) return;
  if (state_ != ConvertState::Converting || !converter_) return;
  const int progress = std::clamp(converter_->Progress(), 0, kProgressComplete);
  const int row = currentPosition_ - 1;
  rows_.SetText(row, kColumnProgress, std::to_string(progress));
  view_.RedrawRow(row);
  rows_.ApplyStatus(row, RowStatus::Converting, texts::kConverting);
  if (FAILED(converter_->Failure())) {
    EndJob(RowStatus::Failed, texts::kConvertError);
  } else if (progress >= kProgressComplete) {
    EndJob(RowStatus::Success, texts::kConvertSuccess);
  } else if (Stalled()) {
    EndJob(RowStatus::Failed, texts::kConvertError);
  }
}

void CConvertDriver::SetStallWatch(std::chrono::milliseconds limit, SteadyClock clock) {
  stallLimit_ = limit;
  clock_ = std::move(clock);
}

// A graph can claim to run while nothing moves (a filter waiting for ever, a source that
// neither delivers nor ends); only the headway tells.
bool CConvertDriver::Stalled() {
  const ConvertHeadway headway = converter_->Headway();
  const auto now = clock_();
  if (headway != lastHeadway_) {
    lastHeadway_ = headway;
    lastMoved_ = now;
    return false;
  }
  return now - lastMoved_ >= stallLimit_;
}

void CConvertDriver::EndJob(RowStatus status, std::string_view text) {
  const int row = currentPosition_ - 1;
  if (status == RowStatus::Failed) {
    MarkFailed(row, text);
  } else {
    rows_.ApplyStatus(row, status, text);
  }
  if (AdvanceToNextJob()) ConvertFromCurrent();
}

bool CConvertDriver::AdvanceToNextJob() {
  Teardown();
  if (currentPosition_ >= rows_.Count()) {
    state_ = ConvertState::Finished;
    RefreshControls();
    return false;
  }
  view_.DeselectRow(currentPosition_ - 1);
  SelectListRow(currentPosition_);
  ++currentPosition_;
  return true;
}

void CConvertDriver::Stop() {
  if (state_ != ConvertState::Converting) return;
  const HRESULT halted = HaltConverter();
  Teardown();
  RefreshControls();
  // A stopped file that could not be finalised is no playable part of the recording.
  if (FAILED(halted)) {
    MarkFailed(currentPosition_ - 1, texts::kConvertError);
  } else {
    rows_.ApplyStatus(currentPosition_ - 1, RowStatus::HandStop, texts::kHandStop);
  }
}

// Stops the running graph and shows the stopped row; shared by Stop and by Teardown, which
// stops a running job first but neither marks the row nor ends the walk.
HRESULT CConvertDriver::HaltConverter() {
  const HRESULT hr = converter_ ? converter_->Stop() : S_OK;
  state_ = ConvertState::Stopped;
  SelectListRow(currentPosition_ - 1);
  RefreshControls();
  return hr;
}

void CConvertDriver::Teardown() {
  if (state_ == ConvertState::Converting) HaltConverter();
  if (converter_) {
    converter_->Release();
    converter_.reset();
  }
  view_.ResetPreviewSlider();
}

}  // namespace recast
