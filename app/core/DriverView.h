// IDriverView: what the driver asks of the window that shows the file list. The GUI
// implements it over its list control and dialogs; the batch loop and the tests implement it
// with plain text.
//
// Rows and columns are 0-based. Column 0 is the status icon, 1 the source file name, 2 the
// output file name, 3 the progress (a decimal percentage, or empty when cleared), 4 the size
// in KB or the status text, 5 the output kind.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ConvertState.h"

namespace recast {

constexpr int kColumnCount = 6;
constexpr int kColumnIcon = 0;
constexpr int kColumnSource = 1;
constexpr int kColumnOutput = 2;
constexpr int kColumnProgress = 3;
constexpr int kColumnStatus = 4;
constexpr int kColumnKind = 5;

struct Rgb {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  bool operator==(const Rgb&) const = default;
};

// A cell background; nothing means the list's normal colours.
using CellColour = std::optional<Rgb>;

// What the window needs to enable its commands.
struct ControlContext {
  ConvertState state = ConvertState::Idle;
  int rowCount = 0;
  int currentPosition = 1;  // 1-based
};

class IDriverView {
 public:
  virtual ~IDriverView() = default;

  virtual void InsertRow(int row) = 0;
  virtual void DeleteRow(int row) = 0;
  virtual void DeleteAllRows() = 0;
  virtual void SetCellText(int row, int column, std::string_view text) = 0;
  virtual void SetIcon(int row, int icon) = 0;
  virtual void SetCellColour(int row, int column, CellColour background) = 0;
  virtual void RedrawRow(int row) = 0;
  virtual void RedrawList() = 0;

  virtual void SelectRow(int row) = 0;
  virtual void DeselectRow(int row) = 0;
  virtual void DeselectAll() = 0;

  // A message box with one OK button.
  virtual void ShowMessage(std::string_view text, std::string_view caption) = 0;
  // The two path fields of the window.
  virtual void ShowPaths(std::string_view source, std::string_view output) = 0;
  // Enables the commands for the driver's state.
  virtual void RefreshControls(const ControlContext& context) = 0;
  virtual void SetMoveUpEnabled(bool enabled) = 0;
  virtual void RefreshInfoPages() = 0;
  virtual void ResetPreviewSlider() = 0;
};

}  // namespace recast
