#include "RenderTally.h"

void RenderTally::Reset() {
  std::lock_guard guard(m_lock);
  m_samples = 0;
  m_timed = false;
  m_first = m_last = 0;
}

void RenderTally::Record(IMediaSample* sample) {
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  const bool timed = SUCCEEDED(sample->GetTime(&start, &stop));
  std::lock_guard guard(m_lock);
  ++m_samples;
  if (!timed) return;
  if (!m_timed) m_first = start;
  m_timed = true;
  m_last = start;
}

LONG RenderTally::Samples() {
  std::lock_guard guard(m_lock);
  return m_samples;
}

HRESULT RenderTally::Get(LONG* samples, REFERENCE_TIME* firstStart, REFERENCE_TIME* lastStart) {
  if (!samples || !firstStart || !lastStart) return E_POINTER;
  std::lock_guard guard(m_lock);
  *samples = m_samples;
  *firstStart = m_first;
  *lastStart = m_last;
  return m_samples ? S_OK : S_FALSE;
}
