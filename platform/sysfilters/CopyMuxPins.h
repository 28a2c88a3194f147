// The input pins of the copying multiplexers (CopyMux.h); the output is the shared MuxOutputPin.
#pragma once

#include "CopyStreamFormat.h"
#include "MuxPins.h"

class CopyMux;

enum class CopyPinKind { Video, Audio };

class CopyMuxInputPin final : public MuxInputPin {
 public:
  CopyMuxInputPin(CopyMux* mux, CCritSec* lock, HRESULT* phr, CopyPinKind kind);

  // The video pin takes the recorder's compressed video, the audio pin PCM (and G.711 blocks
  // for Matroska); see CopyStreamFormat.h.
  HRESULT CheckMediaType(const CMediaType* pmt) override;

  CopyPinKind Kind() const { return m_kind; }
  // The description of the connected type; S_OK only while connected to an accepted type.
  HRESULT Describe(CopyStreamFormat& format);

 private:
  CopyMux* const m_pCopyMux;
  const CopyPinKind m_kind;
};
