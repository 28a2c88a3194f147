// BatchView: the conversion list on a terminal. Each file gets one line: while it converts a
// progress bar with its percentage and elapsed time is redrawn in place (on a terminal only),
// and when its job ends the line is finished with the row's status text. Message boxes go to
// the error stream as "caption: text".
#pragma once

#include <chrono>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "DriverView.h"

namespace recast::cli {

struct RowOutcome {
  std::string source;
  std::string output;
  std::string status;  // the final status text, empty while none
};

class BatchView final : public IDriverView {
 public:
  using Clock = std::chrono::steady_clock;

  BatchView(std::ostream& out, std::ostream& err, bool liveLine);

  // The rows as the driver left them, top to bottom.
  const std::vector<RowOutcome>& Outcomes() const { return rows_; }

  void InsertRow(int row) override;
  void DeleteRow(int row) override;
  void DeleteAllRows() override;
  void SetCellText(int row, int column, std::string_view text) override;
  void SetIcon(int, int) override {}
  void SetCellColour(int, int, CellColour) override {}
  void RedrawRow(int) override {}
  void RedrawList() override {}
  void SelectRow(int) override {}
  void DeselectRow(int) override {}
  void DeselectAll() override {}
  void ShowMessage(std::string_view text, std::string_view caption) override;
  void ShowPaths(std::string_view, std::string_view) override {}
  void RefreshControls(const ControlContext&) override {}
  void SetMoveUpEnabled(bool) override {}
  void RefreshInfoPages() override {}
  void ResetPreviewSlider() override {}

 private:
  bool Valid(int row) const { return row >= 0 && row < static_cast<int>(rows_.size()); }
  void OnProgress(int row, std::string_view text);
  void OnStatus(int row, std::string_view text);
  std::string Line(int row, int percent) const;
  void EndLiveLine();

  std::ostream& out_;
  std::ostream& err_;
  bool liveLine_;
  std::vector<RowOutcome> rows_;
  std::vector<int> progress_;               // last percentage shown per row
  std::map<int, Clock::time_point> started_;  // when each row began converting
  int liveRow_ = -1;                        // row whose line is being redrawn, or -1
  std::string shownLine_;                   // what the live line shows now
};

// "[#######.............]" for a percentage, `width` cells inside the brackets.
std::string ProgressBar(int percent, int width);
// "mm:ss", or "h:mm:ss" from an hour on.
std::string ElapsedText(std::chrono::seconds elapsed);

}  // namespace recast::cli
