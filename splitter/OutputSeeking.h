// The IMediaSeeking of each output pin: every call reaches the upstream filter's seeking
// through a pass-through object on the splitter's input pin, with the adjustments the
// players of this stream rely on (see each method). Its reference count is the pin's.
#pragma once

#include <functional>

#include "ComPtr.h"
#include "ControlInterfaces.h"
#include "Interfaces.h"

namespace splitter {

class OutputSeeking final : public IMediaSeeking {
 public:
  // The stream's position scale: upstream current positions come in units this much larger.
  static constexpr int64_t kCurrentPositionScale = 160'000'000;

  // `owner` is the output pin (reference count and other interfaces); `videoClock` gives the
  // splitter's video clock.
  OutputSeeking(IUnknown* owner, std::function<REFERENCE_TIME()> videoClock);

  // Creates the pass-through on `input` once; false when it cannot be made.
  bool Attach(IPin* input);

  HRESULT QueryInterface(REFIID riid, void** ppv) override { return m_owner->QueryInterface(riid, ppv); }
  ULONG AddRef() override { return m_owner->AddRef(); }
  ULONG Release() override { return m_owner->Release(); }

  HRESULT GetCapabilities(DWORD* pCapabilities) override;
  HRESULT CheckCapabilities(DWORD* pCapabilities) override;
  HRESULT IsFormatSupported(const GUID* pFormat) override;
  HRESULT QueryPreferredFormat(GUID* pFormat) override;
  HRESULT GetTimeFormat(GUID* pFormat) override;
  HRESULT IsUsingTimeFormat(const GUID* pFormat) override;
  HRESULT SetTimeFormat(const GUID* pFormat) override;
  HRESULT GetDuration(LONGLONG* pDuration) override;
  // The duration: a live stream has no stop of its own.
  HRESULT GetStopPosition(LONGLONG* pStop) override;
  // The upstream's position, scaled by kCurrentPositionScale.
  HRESULT GetCurrentPosition(LONGLONG* pCurrent) override;
  // S_OK without converting: only the stream's own format is used.
  HRESULT ConvertTimeFormat(LONGLONG* pTarget, const GUID* pTargetFormat, LONGLONG Source,
                            const GUID* pSourceFormat) override;
  // S_OK whatever the upstream answers.
  HRESULT SetPositions(LONGLONG* pCurrent, DWORD dwCurrentFlags, LONGLONG* pStop,
                       DWORD dwStopFlags) override;
  // The video clock as current position, unless the upstream gives one.
  HRESULT GetPositions(LONGLONG* pCurrent, LONGLONG* pStop) override;
  HRESULT GetAvailable(LONGLONG* pEarliest, LONGLONG* pLatest) override;
  // S_OK whatever the upstream answers.
  HRESULT SetRate(double dRate) override;
  HRESULT GetRate(double* pdRate) override;
  HRESULT GetPreroll(LONGLONG* pllPreroll) override;

 private:
  IUnknown* const m_owner;  // not AddRef'd: the owner holds this object
  const std::function<REFERENCE_TIME()> m_videoClock;
  ComPtr<IUnknown> m_passThru;     // set once by Attach under the filter lock
  ComPtr<IMediaSeeking> m_upstream;  // the pass-through's IMediaSeeking
};

}  // namespace splitter
