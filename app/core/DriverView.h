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

// The view's methods as one list, X(name, parameters), so that the interface and every view
// that implements all of it alike declare them from one place:
//   InsertRow .. RedrawList      the list's rows and cells
//   SelectRow .. DeselectAll     the selection
//   ShowMessage                  a message box with one OK button
//   ShowPaths                    the two path fields of the window
//   RefreshControls              enables the commands for the driver's state
//   SetMoveUpEnabled, RefreshInfoPages, ResetPreviewSlider
#define RECAST_DRIVER_VIEW_METHODS(X)                                 \
  X(InsertRow, (int row))                                             \
  X(DeleteRow, (int row))                                             \
  X(DeleteAllRows, ())                                                \
  X(SetCellText, (int row, int column, std::string_view text))        \
  X(SetIcon, (int row, int icon))                                     \
  X(SetCellColour, (int row, int column, CellColour background))      \
  X(RedrawRow, (int row))                                             \
  X(RedrawList, ())                                                   \
  X(SelectRow, (int row))                                             \
  X(DeselectRow, (int row))                                           \
  X(DeselectAll, ())                                                  \
  X(ShowMessage, (std::string_view text, std::string_view caption))   \
  X(ShowPaths, (std::string_view source, std::string_view output))    \
  X(RefreshControls, (const ControlContext& context))                 \
  X(SetMoveUpEnabled, (bool enabled))                                 \
  X(RefreshInfoPages, ())                                             \
  X(ResetPreviewSlider, ())

#define RECAST_DRIVER_VIEW_PURE(name, params) virtual void name params = 0;
#define RECAST_DRIVER_VIEW_OVERRIDE(name, params) void name params override;

class IDriverView {
 public:
  virtual ~IDriverView() = default;

  RECAST_DRIVER_VIEW_METHODS(RECAST_DRIVER_VIEW_PURE)
};

}  // namespace recast
