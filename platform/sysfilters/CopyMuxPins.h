// The pins of the copying multiplexers (CopyMux.h).
#pragma once

#include "CopyStreamFormat.h"
#include "Filter.h"

class CopyMux;

enum class CopyPinKind { Video, Audio };

class CopyMuxInputPin final : public CBaseInputPin {
 public:
  CopyMuxInputPin(CopyMux* mux, CCritSec* lock, HRESULT* phr, CopyPinKind kind);

  // The video pin takes the recorder's compressed video, the audio pin PCM (and G.711 blocks
  // for Matroska); see CopyStreamFormat.h.
  HRESULT CheckMediaType(const CMediaType* pmt) override;
  HRESULT Receive(IMediaSample* pSample) override;
  HRESULT EndOfStream() override;

  CopyPinKind Kind() const { return m_kind; }
  // The description of the connected type; S_OK only while connected to an accepted type.
  HRESULT Describe(CopyStreamFormat& format);

 private:
  CopyMux* const m_pMux;
  const CopyPinKind m_kind;
};

class CopyMuxOutputPin final : public CBaseOutputPin {
 public:
  CopyMuxOutputPin(CopyMux* mux, CCritSec* lock, HRESULT* phr);

  // IMediaSeeking is the filter's, so the sink downstream can ask it through its pass-through.
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
  // One type: a byte stream.
  HRESULT CheckMediaType(const CMediaType* pmt) override;
  HRESULT GetMediaType(int position, CMediaType* pmt) override;
  HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) override;

 private:
  CopyMux* const m_pMux;
};
