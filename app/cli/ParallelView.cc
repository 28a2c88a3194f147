#include "ParallelView.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "DriverTexts.h"
#include "DriverView.h"

namespace recast::cli {
namespace {

constexpr int kBarCells = 30;

bool IsFinalStatus(std::string_view text) {
  return text == texts::kConvertSuccess || text == texts::kConvertError ||
         text == texts::kCreateFailed || text == texts::kParaSetError || text == texts::kHandStop;
}

}  // namespace

ParallelView::ParallelView(std::ostream& out, std::ostream& err, bool liveLines)
    : out_(out), err_(err), liveLines_(liveLines) {}

void ParallelView::AddRow(std::string source, std::string output) {
  rows_.push_back(RowOutcome{std::move(source), std::move(output), {}});
  progress_.emplace_back();
}

void ParallelView::SetCell(int row, int column, std::string_view text) {
  if (row < 0 || static_cast<size_t>(row) >= rows_.size()) return;
  const auto at = static_cast<size_t>(row);
  Progress& progress = progress_[at];
  if (column == kColumnProgress && !text.empty()) {
    std::from_chars(text.data(), text.data() + text.size(), progress.percent);
    if (!progress.started) progress.started = Clock::now();
  }
  if (column != kColumnStatus) return;
  if (text == texts::kConverting && !progress.started) progress.started = Clock::now();
  // A row gets its first final status only; a failure may be marked twice.
  if (IsFinalStatus(text) && rows_[at].status.empty()) {
    rows_[at].status = text;
    if (text == texts::kConvertSuccess) progress.percent = 100;
  }
}

std::string ParallelView::Line(size_t row) const {
  const RowOutcome& outcome = rows_[row];
  const Progress& progress = progress_[row];
  const auto elapsed =
      progress.started ? std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - *progress.started)
                       : std::chrono::seconds(0);
  char percentText[8];
  std::snprintf(percentText, sizeof percentText, "%3d%%", std::clamp(progress.percent, 0, 100));
  return outcome.source + " -> " + outcome.output + "  " + ProgressBar(progress.percent, kBarCells) +
         " " + percentText + "  " + ElapsedText(elapsed);
}

void ParallelView::ClearLive() {
  if (liveShown_ == 0) return;
  // Up to the first running line, then clear to the end of the screen.
  out_ << "\r\x1b[" << liveShown_ << "A\x1b[J";
  liveShown_ = 0;
  liveText_.clear();
}

void ParallelView::Refresh() {
  std::string finished;
  while (printed_ < rows_.size() && !rows_[printed_].status.empty()) {
    finished += Line(printed_) + "  " + rows_[printed_].status + "\n";
    ++printed_;
  }
  if (!liveLines_) {
    out_ << finished << std::flush;
    return;
  }
  std::string live;
  size_t lines = 0;
  for (size_t row = printed_; row < rows_.size(); ++row) {
    if (!rows_[row].status.empty() || !progress_[row].started) continue;
    live += Line(row) + "\n";
    ++lines;
  }
  if (finished.empty() && live == liveText_) return;
  ClearLive();
  out_ << finished << live << std::flush;
  liveShown_ = lines;
  liveText_ = std::move(live);
}

void ParallelView::Close() {
  if (liveLines_) ClearLive();
  // Rows that never started stay without a line, as in a walk stopped by hand.
  for (size_t row = printed_; row < rows_.size(); ++row) {
    if (!rows_[row].status.empty()) out_ << Line(row) << "  " << rows_[row].status << "\n";
  }
  printed_ = rows_.size();
  out_ << std::flush;
}

void ParallelView::ShowMessage(std::string_view text, std::string_view caption) {
  err_ << caption << ": " << text << "\n" << std::flush;
}

}  // namespace recast::cli
