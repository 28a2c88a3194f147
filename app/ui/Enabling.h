// Which commands of the main window are enabled, by conversion state, row count and position,
// with the preview's own rules on top. Toolkit-free: the window applies the answer to its
// widgets and its context menu.
//
// An answer names only the controls the rules name for that state; the others keep their
// previous enabling, so the window applies it over what it shows.
#pragma once

#include <map>

#include "ConvertTypes.h"
#include "DriverView.h"
#include "PreviewGraph.h"

namespace recast::ui {

struct EnablingInput {
  ControlContext context;
  OutputKind kind = OutputKind::Wmv;
  bool previewOpen = false;
  PreviewMode previewMode = PreviewMode::Paused;
};

struct Enabling {
  std::map<int, bool> controls;  // control id -> enabled
  std::map<int, bool> menu;      // context menu item id -> enabled
};

Enabling ComputeEnabling(const EnablingInput& input);

// The button each context menu item follows, or 0 for the item with no button (File Info).
int ButtonOfMenuItem(int menuItem);

}  // namespace recast::ui
