#include "FileRows.h"

#include <algorithm>

namespace recast {
namespace {

constexpr Rgb kConvertingColour{128, 255, 0};
constexpr Rgb kFailedColour{252, 218, 244};
constexpr Rgb kHandStopColour{157, 206, 255};

struct StatusLook {
  int icon;
  CellColour rowColour;     // every cell
  CellColour statusColour;  // column 4, over rowColour
  bool clearsProgress;
};

StatusLook LookOf(RowStatus status) {
  switch (status) {
    case RowStatus::Added: return {0, std::nullopt, std::nullopt, false};
    case RowStatus::Converting: return {1, kConvertingColour, kConvertingColour, false};
    case RowStatus::Success: return {3, std::nullopt, std::nullopt, false};
    case RowStatus::Failed: return {2, std::nullopt, kFailedColour, true};
    case RowStatus::HandStop: return {4, std::nullopt, kHandStopColour, true};
  }
  return {0, std::nullopt, std::nullopt, false};
}

}  // namespace

int FileRows::IndexOf(std::string_view sourcePath) const {
  auto it = std::find_if(rows_.begin(), rows_.end(),
                         [&](const Row& r) { return r.sourcePath == sourcePath; });
  return it == rows_.end() ? -1 : static_cast<int>(it - rows_.begin());
}

std::vector<std::string> FileRows::SourceNames() const {
  std::vector<std::string> names;
  for (const Row& r : rows_) names.push_back(r.cells[kColumnSource]);
  return names;
}

void FileRows::Append(Row row) {
  rows_.push_back(std::move(row));
  view_.InsertRow(Count() - 1);
  Show(Count() - 1);
}

void FileRows::Erase(int row) {
  if (!Valid(row)) return;
  rows_.erase(rows_.begin() + row);
  view_.DeleteRow(row);
}

void FileRows::Clear() {
  rows_.clear();
  view_.DeleteAllRows();
}

void FileRows::Swap(int a, int b) {
  if (!Valid(a) || !Valid(b) || a == b) return;
  std::swap(rows_[static_cast<size_t>(a)], rows_[static_cast<size_t>(b)]);
  Show(a);
  Show(b);
}

void FileRows::SetText(int row, int column, std::string_view text) {
  if (!Valid(row) || column < 0 || column >= kColumnCount) return;
  rows_[static_cast<size_t>(row)].cells[static_cast<size_t>(column)] = text;
  view_.SetCellText(row, column, text);
}

void FileRows::ApplyStatus(int row, RowStatus status, std::string_view text) {
  if (!Valid(row)) return;
  const StatusLook look = LookOf(status);
  std::array<CellColour, kColumnCount> colours;
  colours.fill(look.rowColour);
  colours[kColumnStatus] = look.statusColour;
  rows_[static_cast<size_t>(row)].icon = look.icon;
  view_.SetIcon(row, look.icon);
  SetColours(row, colours);
  if (look.clearsProgress) SetText(row, kColumnProgress, "");
  if (!text.empty()) SetText(row, kColumnStatus, text);
  if (status != RowStatus::Converting) view_.RedrawList();
}

void FileRows::Show(int row) {
  const Row& r = At(row);
  for (int column = kColumnSource; column < kColumnCount; ++column)
    view_.SetCellText(row, column, r.cells[static_cast<size_t>(column)]);
  view_.SetIcon(row, r.icon);
  for (int column = 0; column < kColumnCount; ++column)
    view_.SetCellColour(row, column, r.colours[static_cast<size_t>(column)]);
}

void FileRows::SetColours(int row, const std::array<CellColour, kColumnCount>& colours) {
  rows_[static_cast<size_t>(row)].colours = colours;
  for (int column = 0; column < kColumnCount; ++column)
    view_.SetCellColour(row, column, colours[static_cast<size_t>(column)]);
}

}  // namespace recast
