// ParallelView: the terminal view of a batch that converts several files at once. Each running
// file has one progress line, redrawn together in place on a terminal; a finished file's line
// (the same as the one-at-a-time view prints) is printed once every row above it is finished,
// so the results come in list order whatever order the files end in.
#pragma once

#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "BatchView.h"

namespace recast::cli {

class ParallelView {
 public:
  using Clock = std::chrono::steady_clock;

  ParallelView(std::ostream& out, std::ostream& err, bool liveLines);

  // The planned rows, top to bottom, before anything starts.
  void AddRow(std::string source, std::string output);
  // A cell of row `row` as its driver sets it (columns of DriverView.h).
  void SetCell(int row, int column, std::string_view text);
  void ShowMessage(std::string_view text, std::string_view caption);
  // Prints the finished lines that are due and redraws the running lines (terminal only).
  void Refresh();
  // The run is over: rows that never started will not finish; what finished is printed.
  void Close();

  const std::vector<RowOutcome>& Outcomes() const { return rows_; }

 private:
  struct Progress {
    int percent = 0;
    std::optional<Clock::time_point> started;
  };
  std::string Line(size_t row) const;
  void ClearLive();

  std::ostream& out_;
  std::ostream& err_;
  const bool liveLines_;
  std::vector<RowOutcome> rows_;
  std::vector<Progress> progress_;
  size_t printed_ = 0;        // rows whose final line is out, from the top
  size_t liveShown_ = 0;      // running lines drawn below the finished ones
  std::string liveText_;      // what they show
};

}  // namespace recast::cli
