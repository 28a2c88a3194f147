#include "CpuLoad.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace recast::ui {
namespace {

constexpr int kPercent = 100;
// Field positions after "cpu": user nice system idle iowait irq softirq steal ...
constexpr size_t kIdleField = 3;
constexpr size_t kIoWaitField = 4;
// guest and guest_nice are already counted in user and nice.
constexpr size_t kCountedFields = 8;

}  // namespace

std::optional<CpuTimes> ParseCpuTimes(std::string_view procStat) {
  if (procStat.substr(0, 4) != "cpu ") return std::nullopt;
  const std::string_view line = procStat.substr(0, procStat.find('\n'));
  std::istringstream fields{std::string(line.substr(4))};
  CpuTimes times;
  uint64_t value = 0;
  size_t index = 0;
  for (; index < kCountedFields && fields >> value; ++index) {
    times.total += value;
    if (index == kIdleField || index == kIoWaitField) times.idle += value;
  }
  if (index <= kIdleField) return std::nullopt;
  return times;
}

int CpuLoad::LoadBetween(const CpuTimes& before, const CpuTimes& after) {
  if (after.total <= before.total || after.idle < before.idle) return 0;
  const double total = static_cast<double>(after.total - before.total);
  const double idle = static_cast<double>(after.idle - before.idle);
  const int load = static_cast<int>(kPercent - idle / total * kPercent + 0.5);
  return std::clamp(load, 0, kPercent);
}

std::optional<int> CpuLoad::Sample() {
  std::ifstream file(path_);
  std::string line;
  if (!file || !std::getline(file, line)) return std::nullopt;
  const std::optional<CpuTimes> now = ParseCpuTimes(line);
  if (!now) return std::nullopt;
  std::optional<int> load;
  if (previous_) load = LoadBetween(*previous_, *now);
  previous_ = now;
  return load;
}

}  // namespace recast::ui
