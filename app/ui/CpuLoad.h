// The processor load, sampled from the kernel's counters in /proc/stat: the share of time not
// spent idle between two samples, over all processors. Toolkit-free; the load meter widget
// asks for a sample every second.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace recast::ui {

struct CpuTimes {
  uint64_t idle = 0;   // idle and waiting for I/O
  uint64_t total = 0;  // every field of the "cpu" line
};

// The totals of the first ("cpu ") line; nothing when the text has none.
std::optional<CpuTimes> ParseCpuTimes(std::string_view procStat);

class CpuLoad {
 public:
  explicit CpuLoad(std::string path = "/proc/stat") : path_(std::move(path)) {}

  // 0..100, rounded; nothing for the first sample (which only stores the counters) and when
  // the file cannot be read.
  std::optional<int> Sample();
  // The load between two readings.
  static int LoadBetween(const CpuTimes& before, const CpuTimes& after);

 private:
  std::string path_;
  std::optional<CpuTimes> previous_;
};

}  // namespace recast::ui
