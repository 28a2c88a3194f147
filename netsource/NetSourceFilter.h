// NetSourceFilter (QrlNetSource): the network source. A player hands it a URL through
// IFileSourceFilter::Load; the URL's scheme picks a back-end session, which starts streaming
// at once. Load returns once the stream's first group has completed the header (at most 3 s
// after the session opened), and the one output pin then offers the recorder stream type with
// that 40-byte FileHeader as format block. Graph state changes and seeks reach the session.
//
// Locks: m_cStateLock (the filter lock) for Load, state changes and the offered type; the
// pin's lock inside it for everything that touches the session.
#pragma once

#include <memory>
#include <string>

#include "ControlInterfaces.h"
#include "MediaType.h"
#include "NetSourceIds.h"
#include "Source.h"
#include "SourceUrl.h"
#include "StreamOutputPin.h"
#include "StreamReadyEvent.h"

namespace netsource {

class NetSourceFilter final : public CSource,
                              public IFileSourceFilter,
                              public IAMPushSource,
                              public IStreamBufferLimit {
 public:
  static CUnknown* CreateInstance(IUnknown* outer, HRESULT* phr);
  ~NetSourceFilter() override;

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  // The session first (with the pin lock), then the base transition; Run always S_OK.
  HRESULT Stop() override;
  HRESULT Pause() override;
  HRESULT Run(REFERENCE_TIME start) override;
  // VFW_S_CANT_CUE while paused: a live source has nothing to cue.
  HRESULT GetState(DWORD milliseconds, FILTER_STATE* state) override;

  // IFileSourceFilter. One Load per filter (E_UNEXPECTED once a session is bound).
  HRESULT Load(LPCOLESTR url, const AM_MEDIA_TYPE* pmt) override;
  HRESULT GetCurFile(LPOLESTR* ppszFileName, AM_MEDIA_TYPE* pmt) override;

  // IAMPushSource: only the flags are answered.
  HRESULT GetLatency(REFERENCE_TIME*) override { return E_NOTIMPL; }
  HRESULT GetPushSourceFlags(ULONG* pFlags) override;
  HRESULT SetPushSourceFlags(ULONG) override { return E_NOTIMPL; }
  HRESULT SetStreamOffset(REFERENCE_TIME) override { return E_NOTIMPL; }
  HRESULT GetStreamOffset(REFERENCE_TIME*) override { return E_NOTIMPL; }
  HRESULT GetMaxStreamOffset(REFERENCE_TIME*) override { return E_NOTIMPL; }
  HRESULT SetMaxStreamOffset(REFERENCE_TIME) override { return E_NOTIMPL; }

  // IStreamBufferLimit.
  HRESULT SetBufferLimit(LONG limit) override;
  HRESULT Reserved(LONG) override { return S_OK; }

  // The offered type (filter lock held by the caller).
  const CMediaType& OfferedType() const { return offered_; }

 private:
  explicit NetSourceFilter(IUnknown* outer, HRESULT* phr);
  // Creates and opens the session the URL selects and binds it to the pin.
  HRESULT OpenSession(const SourceSelection& selection, const std::string& url);

  StreamOutputPin* pin_ = nullptr;  // owned by CSource's stream list
  const std::shared_ptr<StreamReadyEvent> ready_;
  std::u16string fileName_;  // guarded by m_cStateLock
  bool loaded_ = false;      // guarded by m_cStateLock
  CMediaType offered_;       // guarded by m_cStateLock
};

}  // namespace netsource
