// The input pins of the AVI multiplexer (AviMux.h); the output is the shared MuxOutputPin.
#pragma once

#include "MuxPins.h"

class AviMux;

class AviMuxInputPin final : public MuxInputPin {
 public:
  AviMuxInputPin(AviMux* mux, CCritSec* lock, HRESULT* phr, LPCWSTR name);

  // Types an AVI file can hold (AviStreamFormat.h).
  HRESULT CheckMediaType(const CMediaType* pmt) override;
  // A connected input makes the next free one.
  HRESULT CompleteConnect(IPin* pReceivePin) override;

 private:
  AviMux* const m_pAviMux;
};
