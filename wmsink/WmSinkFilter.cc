#include "WmSinkFilter.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "ComRuntime.h"
#include "MediaSampleBuffer.h"
#include "SyncApi.h"

namespace {

constexpr char16_t kVideoPinName[] = u"Video In";
constexpr char16_t kAudioPinName[] = u"Audio In";
constexpr DWORD kThrottleSleepMs = 1;

// The uncompressed video the writer can be asked for, in the order they are tried.
const GUID* const kVideoSubtypes[] = {
    &MEDIASUBTYPE_IYUV,  &MEDIASUBTYPE_YV12,   &MEDIASUBTYPE_YUY2,   &MEDIASUBTYPE_UYVY,
    &MEDIASUBTYPE_YVYU,  &MEDIASUBTYPE_YVU9,   &MEDIASUBTYPE_RGB32,  &MEDIASUBTYPE_RGB24,
    &MEDIASUBTYPE_RGB565, &MEDIASUBTYPE_RGB555, &MEDIASUBTYPE_RGB8,
};

bool IsVideoSubtype(const GUID& subtype) {
  return std::any_of(std::begin(kVideoSubtypes), std::end(kVideoSubtypes),
                     [&](const GUID* known) { return *known == subtype; });
}

}  // namespace

// --- Input pin ---

CWmSinkInputPin::CWmSinkInputPin(CWmSinkFilter* filter, CCritSec* lock, HRESULT* phr,
                                 SinkInput input)
    : CBaseInputPin("WmSink input pin", filter, lock, phr,
                    input == SinkInput::kVideo ? kVideoPinName : kAudioPinName),
      m_pSink(filter),
      m_input(input) {}

HRESULT CWmSinkInputPin::CheckMediaType(const CMediaType* pmt) {
  if (!pmt) return E_POINTER;
  if (m_input == SinkInput::kVideo)
    return pmt->majortype == MEDIATYPE_Video && IsVideoSubtype(pmt->subtype) ? S_OK : E_FAIL;
  return pmt->majortype == MEDIATYPE_Audio && pmt->subtype == MEDIASUBTYPE_PCM &&
                 pmt->formattype == FORMAT_WaveFormatEx
             ? S_OK
             : E_FAIL;
}

HRESULT CWmSinkInputPin::CompleteConnect(IPin* pReceivePin) {
  const CMediaType& mt = CurrentMediaType();
  if (HRESULT hr = m_pSink->Context().ConfigureInput(m_input, mt.subtype, mt.pbFormat, mt.cbFormat);
      FAILED(hr))
    return hr;
  return CBaseInputPin::CompleteConnect(pReceivePin);
}

HRESULT CWmSinkInputPin::Receive(IMediaSample* pSample) {
  if (!pSample) return E_POINTER;
  CAutoLock lock(&m_receiveLock);
  const HRESULT hr = CBaseInputPin::Receive(pSample);
  if (hr != S_OK) return hr;
  return WriteSample(pSample);
}

// The picture goes to the writer in the sample itself; the writer's encoder reads it in place.
HRESULT CWmSinkInputPin::WriteVideo(WmWriterContext& context, IMediaSample* pSample,
                                    REFERENCE_TIME start, DWORD flags) {
  ComPtr<INSSBuffer> buffer;
  if (HRESULT hr = MediaSampleBuffer::Create(pSample, &buffer); FAILED(hr)) return hr;
  return context.WriteVideoBuffer(buffer.Get(), start, flags);
}

HRESULT CWmSinkInputPin::WriteSample(IMediaSample* pSample) {
  REFERENCE_TIME start = 0, stop = 0;
  if (HRESULT hr = pSample->GetTime(&start, &stop); FAILED(hr)) return hr;
  BYTE* data = nullptr;
  if (HRESULT hr = pSample->GetPointer(&data); FAILED(hr)) return hr;
  const LONG length = pSample->GetActualDataLength();
  DWORD flags = 0;
  if (pSample->IsSyncPoint() == S_OK) flags |= WM_SF_CLEANPOINT;
  if (pSample->IsDiscontinuity() == S_OK) flags |= WM_SF_DISCONTINUITY;
  WmWriterContext& context = m_pSink->Context();
  const bool video = m_input == SinkInput::kVideo;
  const HRESULT hr = video ? WriteVideo(context, pSample, start, flags)
                           : context.WriteAudio(data, length, stop - start, flags);
  // A sample racing a stop finds the writer done; any other refusal leaves the file short.
  if (FAILED(hr) && hr != VFW_E_WRONG_STATE) m_pSink->AbortWriting(hr);
  // Whichever input runs more than a second ahead of the other waits a little per sample.
  const CWmSinkInputPin* other = m_pSink->InputPin(video ? SinkInput::kAudio : SinkInput::kVideo);
  if (other->IsConnected() && (video ? context.VideoAhead() : context.AudioAhead()))
    Sleep(kThrottleSleepMs);
  return hr;
}

HRESULT CWmSinkInputPin::EndOfStream() {
  CAutoLock lock(&m_receiveLock);
  const HRESULT hr = CheckStreaming();
  if (hr != S_OK) return hr;
  {
    std::lock_guard guard(m_pSink->CompletionLock());
    if (m_bEndOfStream) return hr;
    m_bEndOfStream = true;
  }
  m_pSink->CheckCompletion();
  return hr;
}

HRESULT CWmSinkInputPin::BeginFlush() {
  CAutoLock lock(m_pLock);
  return CBaseInputPin::BeginFlush();
}

HRESULT CWmSinkInputPin::EndFlush() {
  CAutoLock lock(m_pLock);
  {
    std::lock_guard guard(m_pSink->CompletionLock());
    m_bEndOfStream = false;
    m_bCompletionNotified = false;
  }
  return CBaseInputPin::EndFlush();
}

HRESULT CWmSinkInputPin::Active() {
  {
    std::lock_guard guard(m_pSink->CompletionLock());
    m_bEndOfStream = false;
    m_bCompletionNotified = false;
  }
  return CBaseInputPin::Active();
}

HRESULT CWmSinkInputPin::Run(REFERENCE_TIME tStart) {
  bool ended;
  {
    std::lock_guard guard(m_pSink->CompletionLock());
    m_bCompletionNotified = false;
    ended = m_bEndOfStream;
  }
  if (ended) m_pSink->CheckCompletion();
  return CBaseInputPin::Run(tStart);
}

// --- Filter ---

CUnknown* CWmSinkFilter::CreateInstance(IUnknown* outer, HRESULT* phr) {
  auto* filter = new (std::nothrow) CWmSinkFilter(outer, phr);
  if (!filter && phr) *phr = E_OUTOFMEMORY;
  return filter;
}

CWmSinkFilter::CWmSinkFilter(IUnknown* outer, HRESULT* phr)
    : CBaseFilter("WmSink", outer, &m_filterLock, CLSID_WmSink) {
  m_pVideo.reset(new (std::nothrow) CWmSinkInputPin(this, &m_filterLock, phr, SinkInput::kVideo));
  m_pAudio.reset(new (std::nothrow) CWmSinkInputPin(this, &m_filterLock, phr, SinkInput::kAudio));
  if ((!m_pVideo || !m_pAudio) && phr) *phr = E_OUTOFMEMORY;
}

CWmSinkFilter::~CWmSinkFilter() = default;

CWmSinkInputPin* CWmSinkFilter::InputPin(SinkInput input) const {
  return input == SinkInput::kVideo ? m_pVideo.get() : m_pAudio.get();
}

CBasePin* CWmSinkFilter::GetPin(int n) {
  if (n == 0) return m_pVideo.get();
  if (n == 1) return m_pAudio.get();
  return nullptr;
}

HRESULT CWmSinkFilter::SeekingInterface(REFIID riid, void** ppv) {
  CAutoLock lock(&m_filterLock);
  if (!m_pPosition) {
    HRESULT hr = S_OK;
    m_pPosition.reset(new (std::nothrow)
                          CPosPassThru("WmSink seeking", GetOwner(), &hr, m_pVideo.get()));
    if (!m_pPosition) return E_OUTOFMEMORY;
    if (FAILED(hr)) {
      m_pPosition.reset();
      return hr;
    }
  }
  return m_pPosition->NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CWmSinkFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IMediaSeeking || riid == IID_IMediaPosition) return SeekingInterface(riid, ppv);
  if (riid == IID_IFileSinkFilter) return GetInterface(static_cast<IFileSinkFilter*>(this), ppv);
  if (riid == IID_IWmSinkConfig) return GetInterface(static_cast<IWmSinkConfig*>(this), ppv);
  return CBaseFilter::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CWmSinkFilter::Pause() {
  CAutoLock lock(&m_filterLock);
  if (!m_pVideo->IsConnected() && !m_pAudio->IsConnected()) return E_UNEXPECTED;
  if (IsStopped()) {
    {
      std::lock_guard guard(m_completionLock);
      m_writeError = S_OK;
    }
    if (HRESULT hr = m_context.StartWriting(); FAILED(hr)) return hr;
  }
  return CBaseFilter::Pause();
}

HRESULT CWmSinkFilter::Stop() {
  CAutoLock lock(&m_filterLock);
  // The file is finished here; if that fails the graph learns it, as from a failed write.
  if (HRESULT hr = m_context.StopWriting(); FAILED(hr)) AbortWriting(hr);
  return CBaseFilter::Stop();
}

void CWmSinkFilter::AbortWriting(HRESULT hr) {
  {
    std::lock_guard guard(m_completionLock);
    if (FAILED(m_writeError)) return;
    m_writeError = hr;
  }
  NotifyEvent(EC_ERRORABORT, hr, 0);
}

void CWmSinkFilter::CheckCompletion() {
  {
    std::lock_guard guard(m_completionLock);
    if (FAILED(m_writeError)) return;  // aborted: the file is not complete
    for (const CWmSinkInputPin* pin : {m_pVideo.get(), m_pAudio.get()}) {
      if (pin->IsConnected() && !pin->m_bEndOfStream) return;
      if (pin->m_bCompletionNotified) return;
    }
    m_pVideo->m_bCompletionNotified = true;
    m_pAudio->m_bCompletionNotified = true;
  }
  NotifyEvent(EC_COMPLETE, S_OK, 0);
}

HRESULT CWmSinkFilter::SetFileName(LPCOLESTR pszFileName, const AM_MEDIA_TYPE*) {
  if (!pszFileName) return E_POINTER;
  const size_t length = std::char_traits<char16_t>::length(pszFileName);
  // A name that does not fit is refused as a failure, so that a caller testing the sign
  // learns it was not taken.
  if (length >= WmWriterContext::kMaxFileName) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  m_context.SetFileName(std::u16string(pszFileName, length));
  return S_OK;
}

HRESULT CWmSinkFilter::GetCurFile(LPOLESTR* ppszFileName, AM_MEDIA_TYPE* pmt) {
  if (!ppszFileName) return E_POINTER;
  const std::u16string name = m_context.FileName();
  const size_t bytes = (name.size() + 1) * sizeof(char16_t);
  auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
  if (!copy) return E_OUTOFMEMORY;
  std::memcpy(copy, name.c_str(), bytes);
  *ppszFileName = copy;
  if (pmt) *pmt = AM_MEDIA_TYPE{};
  return S_OK;
}

HRESULT CWmSinkFilter::SetConfig(WmSinkConfig* config) {
  if (!config) return E_POINTER;
  m_context.Configure(*config);
  return S_OK;
}

HRESULT CWmSinkFilter::GetWrittenFrames(DWORD, DWORD* written) {
  if (!written) return E_POINTER;
  *written = m_context.WrittenFrames();
  return S_OK;
}
