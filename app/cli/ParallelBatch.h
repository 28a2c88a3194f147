// The batch walk with several conversions at once (`recast --batch -j N`). The list is first
// built by one driver exactly as for a walk one file at a time, so the rows, their order, the
// messages and the output names (with their "_n" for files of the same name) are the same; then
// each row is converted by a driver of its own, holding only that row under the name the whole
// list gave it, up to N at a time, each in its own graph. The driver's rules for one file do
// not change. Everything runs on the caller's thread; the graphs run on their own threads and
// are polled.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "ConvertDriver.h"
#include "ParallelView.h"

namespace recast::cli {

struct PlannedRow {
  std::string source;
  std::string output;
};

// Sets up a fresh driver the way the options ask (output kind, rate mode, parameter edits),
// with `factory` for its converters.
using DriverSetup = std::function<void(CConvertDriver& driver)>;
using ConverterFactoryFor = std::function<ConverterFactory(ParallelView& view)>;

// Converts the rows, at most `jobs` at a time, until all have run or `interrupted` is set;
// then every running file is stopped ("Hand Stop") and files not started are left as they are.
void RunParallelWalk(const std::vector<PlannedRow>& rows, int jobs, const DriverSetup& setup,
                     const ConverterFactoryFor& factory, ParallelView& view,
                     const std::atomic<bool>& interrupted);

}  // namespace recast::cli
