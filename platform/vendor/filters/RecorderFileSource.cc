#include "RecorderFileSource.h"

#include <new>

#include "FileSourceSeeking.h"
#include "RecorderFilterIds.h"
#include "WideString.h"
#include "recorder/RecorderGuids.h"

namespace vendor {

RecorderFileSource::RecorderFileSource(IUnknown* outer)
    : CBaseFilter(kRecorderFileSourceName, outer, &m_lock, CLSID_RecorderFileSource) {}

CUnknown* RecorderFileSource::CreateInstance(IUnknown* outer, HRESULT* phr) {
  auto* filter = new (std::nothrow) RecorderFileSource(outer);
  if (!filter) *phr = E_OUTOFMEMORY;
  return filter;
}

RecorderFileSource::~RecorderFileSource() {
  // The thread uses the pins and the index: it ends first.
  streamer_.reset();
  seeking_.reset();
}

HRESULT RecorderFileSource::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_IFileSourceFilter) return GetInterface(static_cast<IFileSourceFilter*>(this), ppv);
  if (riid == IID_IRecorderSourceAudit)
    return GetInterface(static_cast<IRecorderSourceAudit*>(this), ppv);
  if (riid == IID_IMediaSeeking) {
    CAutoLock lock(&m_lock);
    if (!seeking_) return E_NOINTERFACE;  // nothing to seek before a file is loaded
    return seeking_->NonDelegatingQueryInterface(riid, ppv);
  }
  return CBaseFilter::NonDelegatingQueryInterface(riid, ppv);
}

int RecorderFileSource::GetPinCount() {
  CAutoLock lock(&m_lock);
  return video_ ? 2 : 0;
}

CBasePin* RecorderFileSource::GetPin(int n) {
  CAutoLock lock(&m_lock);
  if (!video_) return nullptr;
  if (n == 0) return video_.get();
  if (n == 1) return audio_.get();
  return nullptr;
}

HRESULT RecorderFileSource::Load(LPCOLESTR pszFileName, const AM_MEDIA_TYPE*) {
  if (!pszFileName) return E_POINTER;
  CAutoLock lock(&m_lock);
  if (index_.Loaded()) return E_UNEXPECTED;
  const std::u16string name(pszFileName);
  FileIndex index;
  HRESULT hr = FileIndex::Build(WideToUtf8(name), index);
  if (FAILED(hr)) return hr;
  index_ = std::move(index);
  hr = S_OK;
  video_ = std::make_unique<SourcePin>(this, &m_lock, &hr, PinKind::Video);
  audio_ = std::make_unique<SourcePin>(this, &m_lock, &hr, PinKind::Audio);
  streamer_ = std::make_unique<SourceStreamer>(*video_, *audio_);
  seeking_ = std::make_unique<FileSourceSeeking>(this, &m_lock, index_.Duration());
  if (SUCCEEDED(hr)) hr = streamer_->Prepare(index_);
  if (FAILED(hr)) {
    seeking_.reset();
    streamer_.reset();
    audio_.reset();
    video_.reset();
    index_ = FileIndex();
    return hr;
  }
  fileName_ = name;
  start_ = 0;
  stop_ = index_.Duration();
  IncrementPinVersion();
  return S_OK;
}

HRESULT RecorderFileSource::GetCurFile(LPOLESTR* ppszFileName, AM_MEDIA_TYPE* pmt) {
  if (!ppszFileName) return E_POINTER;
  CAutoLock lock(&m_lock);
  *ppszFileName = nullptr;
  if (pmt) {
    *pmt = CMediaType();
    pmt->majortype = MEDIATYPE_Stream;
    pmt->subtype = MEDIASUBTYPE_RecorderStream;
  }
  if (!index_.Loaded()) return E_FAIL;
  const size_t bytes = (fileName_.size() + 1) * sizeof(WCHAR);
  auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
  if (!copy) return E_OUTOFMEMORY;
  std::copy(fileName_.begin(), fileName_.end(), copy);
  copy[fileName_.size()] = 0;
  *ppszFileName = copy;
  return S_OK;
}

HRESULT RecorderFileSource::GetFileDigest(BYTE digest[kRecorderDigestSize], ULONGLONG* size) {
  if (!digest || !size) return E_POINTER;
  CAutoLock lock(&m_lock);
  if (!index_.Loaded()) return E_UNEXPECTED;
  const std::optional<Sha256::Digest>& taken = index_.Digest();
  if (!taken) return E_FAIL;
  std::copy(taken->begin(), taken->end(), digest);
  *size = index_.FileSize();
  return S_OK;
}

HRESULT RecorderFileSource::GetDeliveredCounts(ULONGLONG* frames, ULONGLONG* audioBlocks) {
  if (!frames || !audioBlocks) return E_POINTER;
  CAutoLock lock(&m_lock);
  if (!streamer_) return E_UNEXPECTED;
  *frames = streamer_->DeliveredFrames();
  *audioBlocks = streamer_->DeliveredAudioBlocks();
  return S_OK;
}

PlayRange RecorderFileSource::RangeFromStart() const {
  PlayRange range;
  range.firstGroup = index_.ResumeGroupAt(start_);
  const auto& groups = index_.Groups();
  range.segmentStart = range.firstGroup < groups.size() ? groups[range.firstGroup].time : start_;
  range.stop = stop_;
  return range;
}

HRESULT RecorderFileSource::Pause() {
  CAutoLock lock(&m_lock);
  const bool starting = IsStopped();
  HRESULT hr = CBaseFilter::Pause();
  if (FAILED(hr) || !starting || !streamer_) return hr;
  hr = streamer_->Play(RangeFromStart());
  if (FAILED(hr)) CBaseFilter::Stop();
  return hr;
}

HRESULT RecorderFileSource::Reposition(REFERENCE_TIME start, REFERENCE_TIME stop) {
  start_ = start;
  stop_ = stop;
  if (!IsActive() || !streamer_) return S_OK;
  // Release the thread from downstream, stop its run, and start again from the new place.
  for (SourcePin* pin : {video_.get(), audio_.get()}) {
    if (pin->IsConnected()) pin->DeliverBeginFlush();
  }
  streamer_->StopRun();
  for (SourcePin* pin : {video_.get(), audio_.get()}) {
    if (pin->IsConnected()) pin->DeliverEndFlush();
  }
  return streamer_->Play(RangeFromStart());
}

HRESULT RecorderFileSource::Stop() {
  CAutoLock lock(&m_lock);
  // Decommitting first wakes a thread waiting for a buffer.
  const HRESULT hr = CBaseFilter::Stop();
  if (streamer_) streamer_->StopRun();
  return hr;
}

}  // namespace vendor
