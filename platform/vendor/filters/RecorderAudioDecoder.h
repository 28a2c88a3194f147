// RecorderAudioDecoder: the recorder audio decoder filter. Input: recorder audio samples
// (AudioSamplePrefix and one block payload; format block: FileHeader + WAVEFORMATEX) of the
// G.722 and G.711 subtypes, of a coding without a subtype (ADPCM), or the no-audio type, which
// carries no samples. Output: 16-bit mono PCM at the coding's rate, one output sample per
// input block with the input's times. A block that cannot be decoded is dropped with a
// debug line; the stream goes on.
#pragma once

#include <memory>

#include "AudioBlockDecoder.h"
#include "Transform.h"

namespace vendor {

class RecorderAudioDecoder final : public CTransformFilter {
 public:
  static CUnknown* CreateInstance(IUnknown* outer, HRESULT* phr);

  HRESULT CheckInputType(const CMediaType* mtIn) override;
  HRESULT CheckTransform(const CMediaType* mtIn, const CMediaType* mtOut) override;
  HRESULT GetMediaType(int position, CMediaType* pMediaType) override;
  HRESULT DecideBufferSize(IMemAllocator* pAllocator, ALLOCATOR_PROPERTIES* pProp) override;
  HRESULT SetMediaType(PIN_DIRECTION direction, const CMediaType* pmt) override;
  HRESULT StartStreaming() override;
  HRESULT Transform(IMediaSample* pIn, IMediaSample* pOut) override;
  HRESULT EndFlush() override;

 private:
  explicit RecorderAudioDecoder(IUnknown* outer);

  // Set with the input type (stopped, filter lock); used while streaming (m_csReceive).
  uint32_t codec_ = 0;     // normalised audio code; 0 for the no-audio type
  int sampleRate_ = 0;     // of the decoded PCM
  std::unique_ptr<AudioBlockDecoder> decoder_;  // made by StartStreaming
};

}  // namespace vendor
