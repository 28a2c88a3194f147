// SourcePin: an output pin of the recorder file source, video or audio. It offers the media
// type of its kind built from the file's FileHeader, sizes its buffers for the largest sample
// the file holds, and hands out the filter's IMediaSeeking.
#pragma once

#include "Filter.h"

namespace vendor {

class RecorderFileSource;

enum class PinKind { Video, Audio };

class SourcePin final : public CBaseOutputPin {
 public:
  SourcePin(RecorderFileSource* filter, CCritSec* lock, HRESULT* phr, PinKind kind);

  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
  // The video pin takes the recorder video subtypes; the audio pin the recorder audio
  // subtypes, the no-audio type and the type it offers itself.
  HRESULT CheckMediaType(const CMediaType* pmt) override;
  HRESULT GetMediaType(int position, CMediaType* pmt) override;
  HRESULT DecideBufferSize(IMemAllocator* alloc, ALLOCATOR_PROPERTIES* request) override;

  PinKind Kind() const { return kind_; }

 private:
  RecorderFileSource* const source_;
  const PinKind kind_;
};

}  // namespace vendor
