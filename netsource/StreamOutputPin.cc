#include "StreamOutputPin.h"

#include <algorithm>

#include "DShowErrors.h"
#include "NetSourceFilter.h"
#include "recorder/RecorderGuids.h"
#include "recorder/Trace.h"

namespace netsource {
namespace {

constexpr LONG kSampleBufferSize = 4096;  // a node never holds more than 2048
// How long the streaming thread sleeps for data before it looks for a command again; data
// and state changes wake it earlier, so this only bounds the wait.
constexpr auto kDataWait = std::chrono::milliseconds(500);
constexpr DWORD kRetryMs = 1;
// What live streams can do: tell where they are and how long (0x28).
constexpr DWORD kLiveSeekingCaps = AM_SEEKING_CanGetCurrentPos | AM_SEEKING_CanGetDuration;

}  // namespace

StreamSeeking::StreamSeeking(StreamOutputPin* pin, CCritSec* lock)
    : CSourceSeeking("Stream out seeking", static_cast<IPin*>(pin), nullptr, lock), pin_(pin) {}

HRESULT StreamSeeking::GetDuration(LONGLONG* duration) { return pin_->SeekingDuration(duration); }

HRESULT StreamSeeking::ChangeStop() {
  recorder::Trace("change stop!");
  return S_OK;
}

HRESULT StreamSeeking::ChangeRate() {
  recorder::Trace("change rate!");
  return S_OK;
}

StreamOutputPin::StreamOutputPin(HRESULT* phr, NetSourceFilter* filter)
    : CSourceStream("Stream out", phr, filter, u"Stream out"),
      source_(filter),
      seeking_(std::make_unique<StreamSeeking>(this, &m_cSharedState)) {}

StreamOutputPin::~StreamOutputPin() = default;

HRESULT StreamOutputPin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_IMediaSeeking) {
    CAutoLock lock(&m_cSharedState);
    if (recorded_ == 0) seeking_->SetCapabilities(kLiveSeekingCaps);
    return seeking_->NonDelegatingQueryInterface(riid, ppv);
  }
  return CSourceStream::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT StreamOutputPin::CheckMediaType(const CMediaType* pmt) {
  if (!pmt) return E_FAIL;
  if (pmt->majortype == MEDIATYPE_RecorderStream && pmt->subtype == MEDIASUBTYPE_RecorderStream)
    return S_OK;
  return E_UNEXPECTED;
}

HRESULT StreamOutputPin::GetMediaType(int position, CMediaType* pmt) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  if (!pmt) return E_POINTER;
  CAutoLock lock(source_->pStateLock());
  *pmt = source_->OfferedType();
  return S_OK;
}

HRESULT StreamOutputPin::DecideBufferSize(IMemAllocator* alloc, ALLOCATOR_PROPERTIES* request) {
  if (!alloc || !request) return E_POINTER;
  CAutoLock lock(source_->pStateLock());
  request->cBuffers = bufferLimit_;
  request->cbBuffer = kSampleBufferSize;
  request->cbAlign = 1;
  request->cbPrefix = 0;
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT hr = alloc->SetProperties(request, &actual);
  if (FAILED(hr)) return hr;
  if (actual.cBuffers < request->cBuffers || actual.cbBuffer < request->cbBuffer ||
      actual.cbAlign < request->cbAlign || actual.cbPrefix < request->cbPrefix)
    return E_FAIL;
  return S_OK;
}

HRESULT StreamOutputPin::Run(REFERENCE_TIME start) {
  CAutoLock lock(&m_cSharedState);
  if (!holder_.HasSession()) return E_FAIL;
  holder_.Run();
  return CSourceStream::Run(start);
}

HRESULT StreamOutputPin::Inactive() {
  // The stop command reaches a thread that may be asleep waiting for data: keep it polling
  // until the command has been answered.
  commandComing_ = true;
  {
    CAutoLock lock(&m_cSharedState);
    holder_.WakeConsumer();
  }
  const HRESULT hr = CSourceStream::Inactive();
  commandComing_ = false;
  return hr;
}

HRESULT StreamOutputPin::GetPositions(LONGLONG* current, LONGLONG* stop) {
  return seeking_->GetPositions(current, stop);
}

HRESULT StreamOutputPin::BindSession(std::unique_ptr<StreamSession> session) {
  CAutoLock lock(&m_cSharedState);
  return holder_.Bind(std::move(session));
}

bool StreamOutputPin::HasSession() {
  CAutoLock lock(&m_cSharedState);
  return holder_.HasSession();
}

HRESULT StreamOutputPin::SessionPause() {
  CAutoLock lock(&m_cSharedState);
  return holder_.Pause();
}

HRESULT StreamOutputPin::SessionStop() {
  CAutoLock lock(&m_cSharedState);
  return holder_.Stop();
}

HRESULT StreamOutputPin::SessionHeader(uint8_t* destination) {
  CAutoLock lock(&m_cSharedState);
  return holder_.GetHeader(destination);
}

// Nothing queued answers NETSRC_S_NODATA, a success code: the base loop then calls WaitForData.
HRESULT StreamOutputPin::FillBuffer(IMediaSample* sample) {
  BYTE* buffer = nullptr;
  if (!sample || FAILED(sample->GetPointer(&buffer)) || !buffer) return E_POINTER;
  FillTarget target{buffer, static_cast<size_t>(std::max<LONG>(sample->GetSize(), 0))};
  HRESULT hr;
  {
    CAutoLock lock(&m_cSharedState);
    holder_.BeforeFill();
    hr = holder_.FillBuffer(target);
  }
  if (hr != S_OK) return hr;
  // One node per sample, without time stamps: the splitter finds the groups itself.
  sample->SetActualDataLength(static_cast<LONG>(target.length));
  sample->SetDiscontinuity(FALSE);
  sample->SetSyncPoint(FALSE);
  return S_OK;
}

HRESULT StreamOutputPin::OnThreadStartPlay() {
  recorder::Trace("On Thread Start Play");
  REFERENCE_TIME stop;
  double rate;
  {
    CAutoLock lock(&m_cSharedState);
    seeking_->SetStart(0);
    stop = seeking_->Stop();
    rate = seeking_->Rate();
  }
  DeliverNewSegment(0, stop, rate);
  CAutoLock lock(&m_cSharedState);
  holder_.OnStreamStart();
  return S_OK;
}

void StreamOutputPin::WaitForData() {
  {
    CAutoLock lock(&m_cSharedState);
    holder_.AfterNoData();
  }
  // Sleep until data is queued or a state change comes; poll while one is on its way.
  if (commandComing_) Sleep(kRetryMs);
  else holder_.WaitForData(kDataWait);
}

HRESULT StreamOutputPin::ChangeStart() {
  recorder::Trace("change start!");
  if (!holder_.HasSession()) return S_OK;
  const LONGLONG duration = holder_.GetDuration();
  seeking_->SetLength(duration);
  DeliverBeginFlush();
  holder_.ChangeStart();
  DeliverEndFlush();
  return S_OK;
}

HRESULT StreamOutputPin::SeekingDuration(LONGLONG* duration) {
  if (!duration) return E_POINTER;
  CAutoLock lock(&m_cSharedState);
  if (recorded_ == 0) return E_NOTIMPL;
  *duration = holder_.GetDuration();
  seeking_->SetLength(*duration);
  seeking_->SetStart(0);
  return S_OK;
}

}  // namespace netsource
