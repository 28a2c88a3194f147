// The pins of the AVI multiplexer (AviMux.h).
#pragma once

#include "Filter.h"

class AviMux;

class AviMuxInputPin final : public CBaseInputPin {
 public:
  AviMuxInputPin(AviMux* mux, CCritSec* lock, HRESULT* phr, LPCWSTR name);

  // Types an AVI file can hold (AviStreamFormat.h).
  HRESULT CheckMediaType(const CMediaType* pmt) override;
  HRESULT CompleteConnect(IPin* pReceivePin) override;
  HRESULT Receive(IMediaSample* pSample) override;
  HRESULT EndOfStream() override;

 private:
  AviMux* const m_pMux;
};

class AviMuxOutputPin final : public CBaseOutputPin {
 public:
  AviMuxOutputPin(AviMux* mux, CCritSec* lock, HRESULT* phr);

  // IMediaSeeking is the filter's, so the sink downstream can ask it through its pass-through.
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  // One type: an AVI byte stream.
  HRESULT CheckMediaType(const CMediaType* pmt) override;
  HRESULT GetMediaType(int position, CMediaType* pmt) override;
  HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) override;

 private:
  AviMux* const m_pMux;
};
