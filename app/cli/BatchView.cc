#include "BatchView.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "DriverTexts.h"

namespace recast::cli {
namespace {

constexpr int kBarCells = 30;
constexpr int kSecondsPerMinute = 60;
constexpr int kSecondsPerHour = 3600;

bool IsFinalStatus(std::string_view text) {
  return text == texts::kConvertSuccess || text == texts::kConvertError ||
         text == texts::kCreateFailed || text == texts::kParaSetError || text == texts::kHandStop;
}

}  // namespace

std::string ProgressBar(int percent, int width) {
  // A negative width would turn into a huge cell count: it draws an empty bar instead.
  const int cells = std::max(width, 0);
  const int filled = std::clamp(percent, 0, 100) * cells / 100;
  std::string bar;
  bar.reserve(static_cast<size_t>(cells) + 2);
  bar += '[';
  bar.append(static_cast<size_t>(filled), '#');
  bar.append(static_cast<size_t>(cells - filled), '.');
  bar += ']';
  return bar;
}

std::string ElapsedText(std::chrono::seconds elapsed) {
  const long long total = std::max<long long>(0, elapsed.count());
  char text[32];
  if (total >= kSecondsPerHour)
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / kSecondsPerHour,
                  total % kSecondsPerHour / kSecondsPerMinute, total % kSecondsPerMinute);
  else
    std::snprintf(text, sizeof text, "%02lld:%02lld", total / kSecondsPerMinute, total % kSecondsPerMinute);
  return text;
}

BatchView::BatchView(std::ostream& out, std::ostream& err, bool liveLine)
    : out_(out), err_(err), liveLine_(liveLine) {}

void BatchView::InsertRow(int row) {
  const auto at = static_cast<size_t>(std::clamp(row, 0, static_cast<int>(rows_.size())));
  rows_.insert(rows_.begin() + static_cast<long>(at), RowOutcome{});
  progress_.insert(progress_.begin() + static_cast<long>(at), 0);
}

void BatchView::DeleteRow(int row) {
  if (!Valid(row)) return;
  rows_.erase(rows_.begin() + row);
  progress_.erase(progress_.begin() + row);
}

void BatchView::DeleteAllRows() {
  rows_.clear();
  progress_.clear();
  started_.clear();
}

void BatchView::SetCellText(int row, int column, std::string_view text) {
  if (!Valid(row)) return;
  RowOutcome& outcome = rows_[static_cast<size_t>(row)];
  if (column == kColumnSource) outcome.source = text;
  // A failed row loses its output name in the list; the line keeps the one it had.
  if (column == kColumnOutput && !text.empty()) outcome.output = text;
  if (column == kColumnProgress && !text.empty()) OnProgress(row, text);
  if (column == kColumnStatus) OnStatus(row, text);
}

void BatchView::OnProgress(int row, std::string_view text) {
  int percent = 0;
  std::from_chars(text.data(), text.data() + text.size(), percent);
  progress_[static_cast<size_t>(row)] = percent;
  started_.try_emplace(row, Clock::now());
  if (!liveLine_) return;
  // Redrawn only when the text changes (percentage or elapsed second).
  std::string line = Line(row, percent);
  if (liveRow_ == row && line == shownLine_) return;
  out_ << "\r" << line << std::flush;
  shownLine_ = std::move(line);
  liveRow_ = row;
}

void BatchView::OnStatus(int row, std::string_view text) {
  RowOutcome& outcome = rows_[static_cast<size_t>(row)];
  if (text == texts::kConverting) {
    started_.try_emplace(row, Clock::now());
    return;
  }
  // The driver may write the same final text twice (a parameter error marks the row again
  // as failed); the line is finished once.
  if (!IsFinalStatus(text) || outcome.status == text) return;
  outcome.status = text;
  const int percent = text == texts::kConvertSuccess ? 100 : progress_[static_cast<size_t>(row)];
  if (liveLine_ && liveRow_ == row) out_ << "\r";
  out_ << Line(row, percent) << "  " << text << "\n" << std::flush;
  liveRow_ = -1;
}

std::string BatchView::Line(int row, int percent) const {
  const RowOutcome& outcome = rows_[static_cast<size_t>(row)];
  const auto start = started_.find(row);
  const auto elapsed = start == started_.end()
                           ? std::chrono::seconds(0)
                           : std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start->second);
  char percentText[8];
  std::snprintf(percentText, sizeof percentText, "%3d%%", std::clamp(percent, 0, 100));
  return outcome.source + " -> " + outcome.output + "  " + ProgressBar(percent, kBarCells) + " " +
         percentText + "  " + ElapsedText(elapsed);
}

void BatchView::EndLiveLine() {
  if (liveRow_ < 0) return;
  out_ << "\n";
  liveRow_ = -1;
}

void BatchView::ShowMessage(std::string_view text, std::string_view caption) {
  EndLiveLine();
  err_ << caption << ": " << text << "\n" << std::flush;
}

}  // namespace recast::cli
