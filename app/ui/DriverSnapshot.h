// DriverSnapshot: what the window reads of the driver, copied on the conversion worker after
// each driver call, so the window's thread never reads the driver while the worker runs it.
// FileFacts: what a render-only look at a file found (its duration and decoded size), for the
// information pages of a file that has no converter.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ConvertDriver.h"

namespace recast::ui {

struct DriverSnapshot {
  ConvertState state = ConvertState::Idle;
  ControlContext context;
  OutputKind kind = OutputKind::Wmv;
  bool cbr = true;
  VideoSettings settings;
  int32_t outputWidth = 0;
  int32_t outputHeight = 0;
  REFERENCE_TIME duration = 0;  // of the converter's file
  std::string converterPath;    // the file the converter holds, empty without one
  std::string currentRowPath;   // the file of the row at the current position
  std::optional<JobRecord> currentRecord;
  std::optional<SourceKind> sourceKind;
  std::vector<std::string> rowPaths;  // top to bottom
};

DriverSnapshot TakeSnapshot(const CConvertDriver& driver);

struct FileFacts {
  REFERENCE_TIME duration = 0;
  int32_t decodedWidth = 0;
  int32_t decodedHeight = 0;
};

}  // namespace recast::ui
