// The pins every multiplexer shares (MuxFilter.h).
#pragma once

#include "Filter.h"
#include "MuxFilter.h"

// Hands samples and end of stream to the filter. Derive from it: must override CheckMediaType
// (the types the multiplexer takes on this input).
class MuxInputPin : public CBaseInputPin {
 public:
  MuxInputPin(const char* objectName, MuxFilter* mux, CCritSec* lock, HRESULT* phr,
              LPCWSTR name);

  HRESULT Receive(IMediaSample* pSample) override;
  HRESULT EndOfStream() override;

 protected:
  MuxFilter* const m_pMux;
};

// One type: a byte stream of the multiplexer's subtype.
class MuxOutputPin final : public CBaseOutputPin {
 public:
  MuxOutputPin(MuxFilter* mux, CCritSec* lock, HRESULT* phr, const MuxOutputInfo& info);

  // IMediaSeeking is the filter's, so the sink downstream can ask it through its pass-through.
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  HRESULT CheckMediaType(const CMediaType* pmt) override;
  HRESULT GetMediaType(int position, CMediaType* pmt) override;
  HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) override;

 private:
  MuxFilter* const m_pMux;
  const GUID m_subtype;
};
