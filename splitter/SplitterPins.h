// The splitter's pins. The input pin takes the recorder stream and hands every sample to the
// group parser; the two output pins offer the video and the audio types and give the parser
// their samples. Pins belong to the filter (CQrlNetSplitter) and share its lock.
#pragma once

#include "Filter.h"
#include "OutputSeeking.h"

namespace splitter {

class CQrlNetSplitter;

class CSplitterInputPin : public CBaseInputPin {
 public:
  CSplitterInputPin(CQrlNetSplitter* filter, CCritSec* lock, HRESULT* phr);

  // Accepts the recorder stream type with a FileHeader as format block, and keeps the header.
  HRESULT CheckMediaType(const CMediaType* pmt) override;
  HRESULT GetMediaType(int position, CMediaType* pMediaType) override;
  // The whole sample goes to the parser; times and flags are not read, and the base class's
  // streaming checks do not apply.
  HRESULT Receive(IMediaSample* pSample) override;
  // The stream never ends or flushes downstream: the decoders there keep what they have.
  HRESULT EndOfStream() override { return S_OK; }
  HRESULT BeginFlush() override { return E_UNEXPECTED; }
  HRESULT EndFlush() override { return E_UNEXPECTED; }
  HRESULT QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }

 private:
  CQrlNetSplitter* const m_splitter;
};

enum class OutputKind { Video, Audio };

class CSplitterOutputPin : public CBaseOutputPin {
 public:
  static constexpr LONG kBuffers = 5;
  static constexpr LONG kBufferSize = 512'000;  // the largest video group that can be delivered

  CSplitterOutputPin(CQrlNetSplitter* filter, CCritSec* lock, HRESULT* phr, OutputKind kind);

  // IMediaSeeking is the pin's own (OutputSeeking), made on the first request.
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  HRESULT CheckMediaType(const CMediaType* pmt) override;
  // One type, built from the input connection's FileHeader; none before the input connects.
  HRESULT GetMediaType(int position, CMediaType* pMediaType) override;
  HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) override;
  HRESULT QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }

 private:
  CQrlNetSplitter* const m_splitter;
  const OutputKind m_kind;
  OutputSeeking m_seeking;  // attached under the filter lock
};

}  // namespace splitter
