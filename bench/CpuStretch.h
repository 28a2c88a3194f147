// CpuStretch: the process's CPU time over a stretch of wall time, as the load benchmarks
// report it (a share of one core).
#pragma once

#include <sys/resource.h>

#include <chrono>
#include <cstdio>

namespace bench {

inline double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

class CpuStretch {
 public:
  CpuStretch() : cpu_(CpuSeconds()), wall_(std::chrono::steady_clock::now()) {}
  double Cpu() const { return CpuSeconds() - cpu_; }
  double Wall() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_).count();
  }
  void Print(const char* what) const {
    const double cpu = Cpu(), wall = Wall();
    std::printf("%s: %.2f s CPU over %.2f s = %.2f%% of one core\n", what, cpu, wall,
                100.0 * cpu / wall);
  }

 private:
  double cpu_;
  std::chrono::steady_clock::time_point wall_;
};

}  // namespace bench
