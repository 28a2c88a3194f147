#include "VideoRenderer.h"

#include <cstring>
#include <new>

#include "FrameSink.h"
#include "SysFilterIds.h"
#include "YuvPlanes.h"

namespace {

constexpr REFERENCE_TIME kUnitsPerMillisecond = 10000;

}  // namespace

VideoRenderer::VideoRenderer(IUnknown* outer, HRESULT* phr)
    : CBaseRenderer(CLSID_VideoRenderer, "Video Renderer", outer, phr) {}

CUnknown* VideoRenderer::CreateInstance(IUnknown* outer, HRESULT* phr) {
  return new (std::nothrow) VideoRenderer(outer, phr);
}

HRESULT VideoRenderer::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_IVideoWindow) return GetInterface(static_cast<IVideoWindow*>(this), ppv);
  if (riid == IID_IBasicVideo) return GetInterface(static_cast<IBasicVideo*>(this), ppv);
  if (riid == IID_IVideoFrameStep) return GetInterface(static_cast<IVideoFrameStep*>(this), ppv);
  if (riid == IID_IAMFilterMiscFlags)
    return GetInterface(static_cast<IAMFilterMiscFlags*>(this), ppv);
  if (riid == IID_IRenderStatistics) return GetInterface(static_cast<IRenderStatistics*>(this), ppv);
  return CBaseRenderer::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT VideoRenderer::CheckMediaType(const CMediaType* pmt) {
  int width = 0;
  int height = 0;
  if (pmt->majortype != MEDIATYPE_Video || !IsPlanarYuv420(pmt->subtype) ||
      !VideoSizeOf(*pmt, &width, &height))
    return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT VideoRenderer::SetMediaType(const CMediaType* pmt) {
  int width = 0;
  int height = 0;
  if (!VideoSizeOf(*pmt, &width, &height)) return VFW_E_TYPE_NOT_ACCEPTED;
  VIDEOINFOHEADER vih;
  std::memcpy(&vih, pmt->pbFormat, sizeof(vih));
  std::lock_guard guard(m_controlLock);
  m_videoWidth = width;
  m_videoHeight = height;
  m_avgTimePerFrame = vih.AvgTimePerFrame;
  m_subtype = pmt->subtype;
  if (m_window.width == 0 || m_window.height == 0) {
    m_window.width = width;
    m_window.height = height;
  }
  return S_OK;
}

void VideoRenderer::Paint(IMediaSample* pSample) {
  OAHWND owner = 0;
  int width = 0;
  int height = 0;
  GUID subtype;
  {
    std::lock_guard guard(m_controlLock);
    if (!m_window.visible) return;
    owner = m_window.owner;
    width = m_videoWidth;
    height = m_videoHeight;
    subtype = m_subtype;
  }
  BYTE* data = nullptr;
  if (owner == 0 || FAILED(pSample->GetPointer(&data))) return;
  // A short picture is not shown rather than read past its end.
  if (pSample->GetActualDataLength() < static_cast<LONG>(PlanarYuv420Size(width, height))) return;
  const YuvPlanes planes = MapPlanarYuv420(subtype, data, width, height);
  FramePicture picture;
  picture.width = width;
  picture.height = height;
  for (int i = 0; i < 3; ++i) {
    picture.planes[i] = planes.planes[i];
    picture.strides[i] = planes.strides[i];
  }
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  if (SUCCEEDED(pSample->GetTime(&start, &stop))) picture.timeMs = start / kUnitsPerMillisecond;
  if (PaintFrameSink(static_cast<HWND>(owner), picture)) ++m_framesPainted;
}

void VideoRenderer::OnReceiveFirstSample(IMediaSample* pSample) { Paint(pSample); }

HRESULT VideoRenderer::DoRenderSample(IMediaSample* pSample) {
  Paint(pSample);
  m_tally.Record(pSample);
  return S_OK;
}

HRESULT VideoRenderer::Receive(IMediaSample* pSample) {
  const HRESULT hr = ReceiveStepped(pSample);
  if (hr != S_FALSE) return hr;
  return CBaseRenderer::Receive(pSample);
}

HRESULT VideoRenderer::ReceiveStepped(IMediaSample* pSample) {
  {
    std::unique_lock guard(m_stepLock);
    m_stepChanged.wait(guard, [this] { return !m_stepping || m_stepRemaining > 0; });
    if (!m_stepping) return S_FALSE;
  }
  const HRESULT hr = m_pInputPin->CBaseInputPin::Receive(pSample);
  if (hr != S_OK) return hr;
  if (CRendererPosPassThru* position = m_pRendererPosition) position->RegisterMediaTime(pSample);
  DoRenderSample(pSample);
  bool completed = false;
  {
    std::lock_guard guard(m_stepLock);
    if (m_stepping && m_stepRemaining > 0) completed = --m_stepRemaining == 0;
  }
  if (completed) NotifyEvent(EC_STEP_COMPLETE, FALSE, 0);
  return S_OK;
}

void VideoRenderer::EndStepping() {
  {
    std::lock_guard guard(m_stepLock);
    m_stepping = false;
    m_stepRemaining = 0;
  }
  m_stepChanged.notify_all();
}

HRESULT VideoRenderer::BeginFlush() {
  EndStepping();
  return CBaseRenderer::BeginFlush();
}

HRESULT VideoRenderer::Stop() {
  EndStepping();
  return CBaseRenderer::Stop();
}

HRESULT VideoRenderer::Pause() {
  CAutoLock lock(&m_InterfaceLock);
  if (IsStopped()) {
    m_tally.Reset();
    std::lock_guard guard(m_controlLock);
    if (m_window.autoShow) m_window.visible = -1;
  }
  return CBaseRenderer::Pause();
}

HRESULT VideoRenderer::Run(REFERENCE_TIME tStart) {
  EndStepping();
  return CBaseRenderer::Run(tStart);
}

HRESULT VideoRenderer::Step(DWORD dwFrames, IUnknown* pStepObject) {
  if (dwFrames == 0 || pStepObject) return E_INVALIDARG;
  CAutoLock lock(&m_InterfaceLock);
  if (!m_pInputPin || !m_pInputPin->IsConnected()) return VFW_E_NOT_CONNECTED;
  if (m_State != State_Paused) return VFW_E_WRONG_STATE;
  {
    std::lock_guard guard(m_stepLock);
    m_stepping = true;
    m_stepRemaining = dwFrames;
  }
  m_stepChanged.notify_all();
  ReleaseHeldSample();
  return S_OK;
}

HRESULT VideoRenderer::CanStep(LONG, IUnknown* pStepObject) {
  if (pStepObject) return S_FALSE;
  CAutoLock lock(&m_InterfaceLock);
  return m_pInputPin && m_pInputPin->IsConnected() ? S_OK : S_FALSE;
}

HRESULT VideoRenderer::CancelStep() {
  {
    std::lock_guard guard(m_stepLock);
    m_stepRemaining = 0;
  }
  return S_OK;
}
