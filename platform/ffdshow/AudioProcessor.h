// "ffdshow Audio Processor": 16-bit PCM in, 16-bit PCM out. By default the samples pass through
// unchanged with their times; with the "ResampleRate" setting (FfdshowSettings.h) the audio is
// resampled to that rate with libswresample, keeping its channels, and stamped from the first
// input time on by the number of output sample frames.
//
// Locks: the transform's. The resampler is made in StartStreaming and used by the streaming
// thread under m_csReceive.
#pragma once

#include "ControlInterfaces.h"
#include "FfdshowSettings.h"
#include "Transform.h"

struct SwrContext;

class AudioProcessor final : public CTransformFilter, public ISpecifyPropertyPages {
 public:
  explicit AudioProcessor(IUnknown* outer);
  ~AudioProcessor() override;
  static CUnknown* CreateInstance(IUnknown* outer, HRESULT* phr);

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
  HRESULT GetPages(CAUUID* pPages) override;

  HRESULT CheckInputType(const CMediaType* mtIn) override;
  HRESULT CheckTransform(const CMediaType* mtIn, const CMediaType* mtOut) override;
  HRESULT GetMediaType(int position, CMediaType* pMediaType) override;
  HRESULT DecideBufferSize(IMemAllocator* pAllocator, ALLOCATOR_PROPERTIES* pProp) override;
  HRESULT StartStreaming() override;
  HRESULT StopStreaming() override;
  HRESULT Transform(IMediaSample* pIn, IMediaSample* pOut) override;
  HRESULT EndOfStream() override;

 private:
  // The output rate for the connected input: the setting, else the input's own.
  DWORD OutputRate() const;
  HRESULT Resample(IMediaSample* pIn, IMediaSample* pOut);
  void StampResampled(IMediaSample* pOut, int frames);

  // Set in StartStreaming; used by the streaming thread.
  SwrContext* m_resampler = nullptr;  // null when passing through
  int m_channels = 0;
  int m_inRate = 0;
  int m_outRate = 0;
  int64_t m_framesOut = 0;
  REFERENCE_TIME m_firstStart = -1;
};
