// RenderTally: what a renderer has rendered since it last started from stopped (the count and
// the start times of the first and last timed samples), kept after it stops so a player can
// report a finished run. Answers IRenderStatistics for the renderers. Thread-safe.
#pragma once

#include <mutex>

#include "Interfaces.h"
#include "RenderStatistics.h"

class RenderTally {
 public:
  void Reset();
  void Record(IMediaSample* sample);
  LONG Samples();
  // IRenderStatistics::GetRenderStatistics.
  HRESULT Get(LONG* samples, REFERENCE_TIME* firstStart, REFERENCE_TIME* lastStart);

 private:
  std::mutex m_lock;
  LONG m_samples = 0;            // guarded by m_lock
  bool m_timed = false;          // guarded by m_lock: a timed sample was seen
  REFERENCE_TIME m_first = 0;    // guarded by m_lock
  REFERENCE_TIME m_last = 0;     // guarded by m_lock
};
