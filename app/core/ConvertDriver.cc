// The list operations of the driver; the conversion walk is in ConvertWalk.cc.
#include "ConvertDriver.h"

#include <algorithm>

#include "DriverTexts.h"
#include "OutputNaming.h"

namespace recast {
namespace {

constexpr int kKilobyteShift = 10;

std::string_view KindText(OutputKind kind) {
  return kind == OutputKind::Wmv ? texts::kConvertToWmv : texts::kConvertToAvi;
}

}  // namespace

CConvertDriver::CConvertDriver(IDriverView& view, ConverterFactory factory)
    : view_(view), factory_(std::move(factory)), rows_(view) {}

CConvertDriver::~CConvertDriver() {
  if (converter_) converter_->Release();
}

bool CConvertDriver::AddFileChecked(const std::string& path) {
  if (state_ == ConvertState::Converting) return false;
  const std::optional<SourceKind> kind = SourceKindOf(path);
  if (!kind) {
    Message(texts::kFormatError);
    return false;
  }
  sourceKind_ = kind;
  return AddFile(path);
}

bool CConvertDriver::AddFile(const std::string& path) {
  if (rows_.IndexOf(path) >= 0) {
    Message(texts::kFileLoaded);
    return false;
  }
  // A file whose header cannot be read is still listed, with no frame rate: preparing it
  // fails, so converting it shows "Create Failed!" on its row and the walk goes on.
  const FileProbe probe = ProbeFile(path, probe_);
  JobRecord record{path};
  record.fileSize = probe.fileSize;
  if (probe.result) {
    probe_ = *probe.result;
    record.width = probe_.width;
    record.height = probe_.height;
    record.frameRate = probe_.frameRate;
  }
  records_.Append(record);

  Row row;
  row.sourcePath = path;
  row.outputPath = OutputPathFor(path, rows_.SourceNames(), kind_);
  row.cells[kColumnSource] = FileNameOf(path);
  row.cells[kColumnOutput] = FileNameOf(row.outputPath);
  row.cells[kColumnStatus] = std::to_string(record.fileSize >> kKilobyteShift);
  row.cells[kColumnKind] = KindText(kind_);
  rows_.Append(std::move(row));

  currentPosition_ = rows_.Count();
  state_ = ConvertState::Loaded;
  RefreshControls();
  return true;
}

void CConvertDriver::AddFolder(const std::string& folder) {
  const std::vector<std::string> files = FindRecorderFiles(folder);
  if (files.empty()) {
    Message(texts::kFormatError);
    state_ = ConvertState::Idle;
    RefreshControls();
    return;
  }
  for (const std::string& file : files) AddFile(file);
}

void CConvertDriver::DeleteSelected() {
  if (state_ == ConvertState::Converting) return;
  if (rows_.Count() == 0 || currentPosition_ < 1 || currentPosition_ > rows_.Count()) return;
  if (!rows_.Valid(selectedRow_)) return;
  const std::string path = rows_.At(selectedRow_).sourcePath;
  rows_.Erase(selectedRow_);
  records_.Remove(path);

  // The row that followed the deleted one takes its place; the last row when there was none.
  if (rows_.Count() == 0) {
    currentPosition_ = 1;
    selectedRow_ = 0;
    view_.ShowPaths("", "");
    state_ = ConvertState::Loaded;
    RefreshControls();
    return;
  }
  currentPosition_ = std::min(selectedRow_ + 1, rows_.Count());
  SelectListRow(currentPosition_ - 1);
  ShowRowPaths(selectedRow_);
}

void CConvertDriver::MoveDown() {
  if (state_ == ConvertState::Converting) return;
  if (currentPosition_ < 1 || currentPosition_ >= rows_.Count()) return;
  rows_.Swap(currentPosition_ - 1, currentPosition_);
  view_.DeselectRow(currentPosition_ - 1);
  SelectListRow(currentPosition_);
  ++currentPosition_;
  state_ = ConvertState::Loaded;
  RefreshControls();
}

void CConvertDriver::MoveUp() {
  if (state_ == ConvertState::Converting) return;
  view_.DeselectAll();
  if (currentPosition_ == 1) {
    view_.SetMoveUpEnabled(false);
    return;
  }
  if (currentPosition_ < 1 || currentPosition_ > rows_.Count()) return;
  rows_.Swap(currentPosition_ - 1, currentPosition_ - 2);
  SelectListRow(currentPosition_ - 2);
  --currentPosition_;
  state_ = ConvertState::Loaded;
  RefreshControls();
}

void CConvertDriver::ClearList() {
  Teardown();
  rows_.Clear();
  records_.Clear();
  runList_.Clear();
  currentPosition_ = 1;
  selectedRow_ = 0;
  currentSourcePath_.clear();
  outputPath_.clear();
  outputWidth_ = outputHeight_ = 0;
  settings_.width = settings_.height = 0;
  cbr_ = true;
  state_ = ConvertState::Idle;
  RefreshControls();
}

void CConvertDriver::SelectRow(int row) {
  if (state_ == ConvertState::Converting || !rows_.Valid(row)) return;
  SelectListRow(row);
  currentPosition_ = row + 1;
  currentSourcePath_ = rows_.At(row).sourcePath;
  ShowRowPaths(row);
  view_.RefreshInfoPages();
  state_ = ConvertState::Loaded;
  RefreshControls();
}

void CConvertDriver::SetOutputKind(OutputKind kind) {
  if (state_ == ConvertState::Converting) return;
  ClearList();
  kind_ = kind;
}

void CConvertDriver::SetCbr(bool cbr) {
  cbr_ = cbr;
  settings_.SetRateMode(cbr, rows_.Count() > 1);
}

// ---- Display helpers ------------------------------------------------------------------

void CConvertDriver::MarkFailed(int row, std::string_view text) {
  rows_.SetText(row, kColumnOutput, "");
  rows_.ApplyStatus(row, RowStatus::Failed, text);
  view_.DeselectRow(row);
}

void CConvertDriver::ShowRowPaths(int row) {
  if (!rows_.Valid(row)) return;
  view_.ShowPaths(rows_.At(row).sourcePath, rows_.At(row).outputPath);
}

void CConvertDriver::SelectListRow(int row) {
  selectedRow_ = row;
  view_.SelectRow(row);
}

void CConvertDriver::Message(std::string_view text) { view_.ShowMessage(text, texts::kCaption); }

void CConvertDriver::RefreshControls() {
  view_.RefreshControls({state_, rows_.Count(), currentPosition_});
}

bool CConvertDriver::HasConverterFor(const std::string& path) const {
  return converter_ && converter_->SourcePath() == path;
}

}  // namespace recast
