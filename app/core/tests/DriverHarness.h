// The driver's test harness: a substitute converter run by a script, and a view that records
// what the window would show.
#pragma once

#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "ConvertDriver.h"

namespace recast::testing {

// What the substitute converters do, per source file name, and what was asked of them.
struct ConverterScript {
  std::set<std::string> openFails, buildFails, startFails, paramsFail, stopFails;
  // Files whose graph claims to run while nothing moves.
  std::set<std::string> stalls;
  // One second: the small test files then estimate at about 80 kbit/s.
  VideoSizeAnswer decoded{352, 288, 10'000'000LL};
  REFERENCE_TIME openDuration = 10'000'000LL;
  std::map<std::string, std::deque<int>> progress;  // readings in turn; the last one repeats
  // A reading of kFailedReading makes the job fail with E_FAIL from that poll on.
  static constexpr int kFailedReading = -1;

  std::vector<std::string> calls;  // "Open x.mp4", "Build x.mp4 ...", "Start x.mp4", ...
  std::vector<WmvParams> params;
  int alive = 0;  // converters created and not yet destroyed

  ConverterFactory Factory();
  std::vector<std::string> CallsOf(const std::string& verb) const;  // file names, in order
};

class FakeConverter : public IConverter {
 public:
  explicit FakeConverter(ConverterScript& script);
  ~FakeConverter() override;

  HRESULT Open(const std::string& sourcePath) override;
  const std::string& SourcePath() const override { return path_; }
  REFERENCE_TIME Duration() const override { return duration_; }
  bool HasGraph() const override { return opened_ && !released_; }
  HRESULT QueryVideoSize(VideoSizeAnswer& answer) override;
  HRESULT BuildOutput(OutputKind kind, const std::string& outputPath, int32_t frameRate,
                      bool insertDecompressor) override;
  HRESULT SetParams(const WmvParams& params) override;
  HRESULT ConfigureVideo() override { return S_OK; }
  HRESULT ConfigureAudio() override { return S_OK; }
  HRESULT Start() override;
  int Progress() override;
  HRESULT Failure() const override { return failure_; }
  ConvertHeadway Headway() override;
  HRESULT Stop() override;
  void Release() override;

 private:
  void Log(const std::string& verb, const std::string& detail = "");
  std::string Name() const;

  ConverterScript& script_;
  std::string path_;
  REFERENCE_TIME duration_ = 0;
  bool opened_ = false;
  bool running_ = false;
  bool released_ = false;
  HRESULT failure_ = S_OK;
  uint32_t frames_ = 0;
};

struct ViewRow {
  std::string cells[kColumnCount];
  int icon = -1;
  CellColour colours[kColumnCount];
};

class RecordingView : public IDriverView {
 public:
  struct MessageBox {
    std::string text;
    std::string caption;
  };

  std::vector<ViewRow> rows;
  std::set<int> selected;
  std::vector<MessageBox> messages;
  std::string sourceField, outputField;
  std::vector<ConvertState> refreshedStates;
  bool moveUpEnabled = true;
  int listRedraws = 0;

  std::string Cell(int row, int column) const {
    return rows.at(static_cast<size_t>(row)).cells[column];
  }
  std::vector<std::string> MessageTexts() const;

  void InsertRow(int row) override;
  void DeleteRow(int row) override;
  void DeleteAllRows() override { rows.clear(); }
  void SetCellText(int row, int column, std::string_view text) override;
  void SetIcon(int row, int icon) override { rows.at(static_cast<size_t>(row)).icon = icon; }
  void SetCellColour(int row, int column, CellColour background) override;
  void RedrawRow(int) override {}
  void RedrawList() override { ++listRedraws; }
  void SelectRow(int row) override { selected.insert(row); }
  void DeselectRow(int row) override { selected.erase(row); }
  void DeselectAll() override { selected.clear(); }
  void ShowMessage(std::string_view text, std::string_view caption) override;
  void ShowPaths(std::string_view source, std::string_view output) override;
  void RefreshControls(const ControlContext& context) override;
  void SetMoveUpEnabled(bool enabled) override { moveUpEnabled = enabled; }
  void RefreshInfoPages() override {}
  void ResetPreviewSlider() override {}
};

}  // namespace recast::testing
