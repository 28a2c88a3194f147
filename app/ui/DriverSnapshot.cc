#include "DriverSnapshot.h"

namespace recast::ui {

DriverSnapshot TakeSnapshot(const CConvertDriver& driver) {
  DriverSnapshot s;
  s.state = driver.State();
  s.context = {driver.State(), driver.RowCount(), driver.CurrentPosition()};
  s.kind = driver.Kind();
  s.cbr = driver.Cbr();
  s.settings = driver.Settings();
  s.outputWidth = driver.OutputWidth();
  s.outputHeight = driver.OutputHeight();
  s.duration = driver.Duration();
  if (const IConverter* converter = driver.Converter()) s.converterPath = converter->SourcePath();
  for (int row = 0; row < driver.RowCount(); ++row) s.rowPaths.push_back(driver.RowAt(row).sourcePath);
  const int current = driver.CurrentPosition() - 1;
  if (current >= 0 && current < driver.RowCount()) s.currentRowPath = s.rowPaths[static_cast<size_t>(current)];
  if (const JobRecord* record = driver.Records().Find(s.currentRowPath)) s.currentRecord = *record;
  s.sourceKind = SourceKindOf(s.currentRowPath);
  if (!s.sourceKind) s.sourceKind = driver.LastSourceKind();
  return s;
}

}  // namespace recast::ui
