#include "NetSourceFilter.h"

#include <algorithm>
#include <new>

#include "DShowErrors.h"
#include "SessionFactory.h"
#include "WideString.h"
#include "recorder/RecorderGuids.h"
#include "recorder/Trace.h"

namespace netsource {
namespace {

constexpr size_t kMaxUrlChars = 512;  // with the terminator
constexpr LONG kMinBufferLimit = 1;
constexpr LONG kMaxBufferLimit = 10000;

}  // namespace

NetSourceFilter::NetSourceFilter(IUnknown* outer, HRESULT* phr)
    : CSource("QrlNetSource", outer, CLSID_QrlNetSource),
      ready_(std::make_shared<StreamReadyEvent>()) {
  pin_ = new (std::nothrow) StreamOutputPin(phr, this);
  if (!pin_ && phr) *phr = E_OUTOFMEMORY;
}

CUnknown* NetSourceFilter::CreateInstance(IUnknown* outer, HRESULT* phr) {
  auto* filter = new (std::nothrow) NetSourceFilter(outer, phr);
  if (!filter) *phr = E_OUTOFMEMORY;
  return filter;
}

NetSourceFilter::~NetSourceFilter() = default;

HRESULT NetSourceFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_IFileSourceFilter) return GetInterface(static_cast<IFileSourceFilter*>(this), ppv);
  if (riid == IID_IAMPushSource) return GetInterface(static_cast<IAMPushSource*>(this), ppv);
  if (riid == IID_IStreamBufferLimit)
    return GetInterface(static_cast<IStreamBufferLimit*>(this), ppv);
  return CSource::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT NetSourceFilter::Stop() {
  CAutoLock lock(&m_cStateLock);
  if (pin_) pin_->SessionStop();
  return CSource::Stop();
}

HRESULT NetSourceFilter::Pause() {
  CAutoLock lock(&m_cStateLock);
  if (pin_) pin_->SessionPause();
  return CSource::Pause();
}

HRESULT NetSourceFilter::Run(REFERENCE_TIME start) {
  CAutoLock lock(&m_cStateLock);
  CSource::Run(start);
  if (pin_) pin_->Run(start);
  return S_OK;
}

HRESULT NetSourceFilter::GetState(DWORD, FILTER_STATE* state) {
  if (!state) return E_POINTER;
  *state = m_State;
  return *state == State_Paused ? VFW_S_CANT_CUE : S_OK;
}

HRESULT NetSourceFilter::Load(LPCOLESTR url, const AM_MEDIA_TYPE*) {
  if (!url) return E_POINTER;
  CAutoLock lock(&m_cStateLock);
  if (!pin_) return E_UNEXPECTED;
  if (pin_->HasSession()) return E_UNEXPECTED;
  const size_t chars = WideLength(url);
  if (chars + 1 > kMaxUrlChars) return E_FAIL;
  const std::string text = WideToUtf8(std::u16string_view(url, chars));
  if (text.size() + 1 > kMaxUrlChars || Utf8ToWide(text) != std::u16string_view(url, chars))
    return E_FAIL;
  fileName_.assign(url, chars);
  loaded_ = true;
  offered_ = CMediaType();
  offered_.SetType(&MEDIATYPE_RecorderStream);
  offered_.SetSubtype(&MEDIASUBTYPE_RecorderStream);
  offered_.SetFormatType(&FORMAT_RecorderStream);
  offered_.SetVariableSize();
  offered_.SetTemporalCompression(TRUE);

  ready_->Reset();
  if (const auto selection = SelectSource(text)) {
    const HRESULT hr = OpenSession(*selection, text);
    if (FAILED(hr)) return hr;
  }
  if (!ready_->Wait(kStreamReadyWait)) {
    recorder::Trace("Init succeed but no stream data");
    return E_FAIL;
  }
  HeaderBytes header{};
  if (FAILED(pin_->SessionHeader(header.data())) || !HeaderIsPlayable(header)) {
    recorder::Trace("cannot get file header");
    return E_FAIL;
  }
  if (!offered_.SetFormat(header.data(), static_cast<ULONG>(header.size()))) {
    fileName_.clear();
    loaded_ = false;
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT NetSourceFilter::OpenSession(const SourceSelection& selection, const std::string& url) {
  pin_->SetRecorded(selection.recorded);
  SourceRequest request;
  if (FAILED(ParseSourceUrl(selection.kind, url, request))) return E_FAIL;
  std::unique_ptr<StreamSession> session;
  const HRESULT hr = CreateSession(request, SessionContext{pin_, ready_}, session);
  if (FAILED(hr)) return hr;
  return pin_->BindSession(std::move(session));
}

HRESULT NetSourceFilter::GetCurFile(LPOLESTR* ppszFileName, AM_MEDIA_TYPE* pmt) {
  if (!ppszFileName) return E_POINTER;
  CAutoLock lock(&m_cStateLock);
  *ppszFileName = nullptr;
  if (loaded_) {
    auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((fileName_.size() + 1) * sizeof(WCHAR)));
    if (!copy) return E_OUTOFMEMORY;
    std::copy(fileName_.begin(), fileName_.end(), copy);
    copy[fileName_.size()] = 0;
    *ppszFileName = copy;
  }
  if (pmt) CopyMediaType(pmt, &offered_);
  return S_OK;
}

HRESULT NetSourceFilter::GetPushSourceFlags(ULONG* pFlags) {
  if (!pFlags) return E_POINTER;
  *pFlags = pin_ && pin_->Recorded() ? AM_PUSHSOURCECAPS_NOT_LIVE
                                     : AM_PUSHSOURCECAPS_INTERNAL_RM |
                                           AM_PUSHSOURCECAPS_PRIVATE_CLOCK;
  return S_OK;
}

HRESULT NetSourceFilter::SetBufferLimit(LONG limit) {
  // Below one node the pool would drain and the producer wait for ever; the allocator is
  // never asked for 0 buffers.
  if (limit < kMinBufferLimit || limit > kMaxBufferLimit) return E_INVALIDARG;
  if (pin_) pin_->SetBufferLimit(limit);
  return S_OK;
}

}  // namespace netsource
