#include "CopyMuxPins.h"

#include "CopyMux.h"
#include "CopyMuxIds.h"

CopyMuxInputPin::CopyMuxInputPin(CopyMux* mux, CCritSec* lock, HRESULT* phr, CopyPinKind kind)
    : MuxInputPin("Copy mux input", mux, lock, phr,
                  kind == CopyPinKind::Video ? kCopyMuxVideoPin : kCopyMuxAudioPin),
      m_pCopyMux(mux),
      m_kind(kind) {}

HRESULT CopyMuxInputPin::CheckMediaType(const CMediaType* pmt) {
  if (!pmt) return E_POINTER;
  CopyStreamFormat format;
  return m_kind == CopyPinKind::Video ? DescribeCopyVideo(*pmt, format)
                                      : DescribeCopyAudio(*pmt, m_pCopyMux->Container(), format);
}

HRESULT CopyMuxInputPin::Describe(CopyStreamFormat& format) {
  if (!IsConnected()) return VFW_E_NOT_CONNECTED;
  const CMediaType& mt = CurrentMediaType();
  return m_kind == CopyPinKind::Video ? DescribeCopyVideo(mt, format)
                                      : DescribeCopyAudio(mt, m_pCopyMux->Container(), format);
}
