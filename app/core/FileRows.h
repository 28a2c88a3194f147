// FileRows: the rows of the conversion list as the driver knows them, mirrored into the view
// on every change. Each row is bound to the source file it was added for and keeps the output
// path computed then; the cells are what the view shows.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "DriverView.h"

namespace recast {

// The row statuses that carry an icon and a colouring.
enum class RowStatus { Added, Converting, Success, Failed, HandStop };

struct Row {
  std::string sourcePath;
  std::string outputPath;
  std::array<std::string, kColumnCount> cells;
  int icon = 0;
  std::array<CellColour, kColumnCount> colours;
};

class FileRows {
 public:
  explicit FileRows(IDriverView& view) : view_(view) {}

  int Count() const { return static_cast<int>(rows_.size()); }
  bool Valid(int row) const { return row >= 0 && row < Count(); }
  const Row& At(int row) const { return rows_.at(static_cast<size_t>(row)); }

  // Index of the row bound to exactly this source path, or -1.
  int IndexOf(std::string_view sourcePath) const;
  std::vector<std::string> SourceNames() const;  // column 1 of every row, top to bottom

  void Append(Row row);
  void Erase(int row);
  void Clear();
  void Swap(int a, int b);  // cells, icon, colours and binding

  void SetText(int row, int column, std::string_view text);
  // Sets the icon and colours of a status and, with `text`, column 4. Every status but
  // Converting then redraws the list.
  void ApplyStatus(int row, RowStatus status, std::string_view text);

 private:
  void Show(int row);  // pushes every cell, the icon and the colours of a row to the view
  void SetColours(int row, const std::array<CellColour, kColumnCount>& colours);

  IDriverView& view_;
  std::vector<Row> rows_;
};

}  // namespace recast
