// The writer's IWMWriterAdvanced: statistics, the writer time and the sync tolerance. The
// writer writes only to its own file (no further sinks) and takes only uncompressed input.
// Live or not, samples are encoded as fast as they come, so SetLiveSource changes nothing.
#include "Writer.h"

HRESULT Writer::GetSinkCount(DWORD* sinks) {
  if (!sinks) return E_POINTER;
  *sinks = 0;
  return S_OK;
}

HRESULT Writer::GetSink(DWORD, IWMWriterSink** sink) {
  if (!sink) return E_POINTER;
  *sink = nullptr;
  return E_INVALIDARG;
}

HRESULT Writer::AddSink(IWMWriterSink*) { return E_NOTIMPL; }
HRESULT Writer::RemoveSink(IWMWriterSink*) { return E_INVALIDARG; }
HRESULT Writer::RemoveAllSinks() { return S_OK; }

HRESULT Writer::WriteStreamSample(WORD, QWORD, DWORD, QWORD, DWORD, INSSBuffer*) {
  return E_NOTIMPL;  // only uncompressed input is taken
}

HRESULT Writer::SetLiveSource(BOOL) { return S_OK; }

HRESULT Writer::IsRealTime(BOOL* real_time) {
  if (!real_time) return E_POINTER;
  *real_time = FALSE;
  return S_OK;
}

HRESULT Writer::GetWriterTime(QWORD* time) {
  if (!time) return E_POINTER;
  std::lock_guard guard(lock_);
  *time = writer_time_;
  return S_OK;
}

HRESULT Writer::GetStatistics(WORD stream, WM_WRITER_STATISTICS* statistics) {
  if (!statistics) return E_POINTER;
  std::lock_guard guard(lock_);
  *statistics = WM_WRITER_STATISTICS{};
  bool found = stream == 0;
  for (size_t i = 0; i < counters_.size(); ++i) {
    if (stream != 0 && streams_[i].number != stream) continue;
    found = true;
    statistics->qwSampleCount += counters_[i].samples;
    statistics->qwByteCount += counters_[i].bytes;
    statistics->dwExpectedBitrate += streams_[i].bitrate;
  }
  return found ? S_OK : NS_E_INVALID_STREAM;
}

HRESULT Writer::SetSyncTolerance(DWORD milliseconds) {
  std::lock_guard guard(lock_);
  sync_tolerance_ = milliseconds;
  return S_OK;
}

HRESULT Writer::GetSyncTolerance(DWORD* milliseconds) {
  if (!milliseconds) return E_POINTER;
  std::lock_guard guard(lock_);
  *milliseconds = sync_tolerance_;
  return S_OK;
}
