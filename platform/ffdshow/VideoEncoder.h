// "ffdshow video encoder": planar YUV 4:2:0 (YV12, I420, IYUV) in, MPEG-4 part 2 out through
// libavcodec, as an AVI video type whose FourCC is the "FourCC" setting. Each run reads the
// settings (FfdshowSettings.h): a fixed quantiser, else the bit rate; the key-frame interval;
// the thread count. No B-frames, so frames leave in the order they arrive, each with the time
// of its slot (frame index × frame duration); key frames are sync points.
//
// Data path: the codec reads each input picture in its sample (the frame references the
// sample, so the sample returns to its allocator only once the codec is done with it); the
// packet is copied into the output sample.
//
// Locks: the transform's (filter lock, then streaming lock). The codec state is made in
// StartStreaming and used only by the streaming thread under m_csReceive.
#pragma once

#include "ControlInterfaces.h"
#include "FfdshowSettings.h"
#include "Transform.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

class VideoEncoder final : public CTransformFilter, public ISpecifyPropertyPages {
 public:
  explicit VideoEncoder(IUnknown* outer);
  ~VideoEncoder() override;
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
  // Not used: Receive encodes and delivers whatever packets the codec gives.
  HRESULT Transform(IMediaSample*, IMediaSample*) override { return E_UNEXPECTED; }
  HRESULT Receive(IMediaSample* pSample) override;
  HRESULT EndOfStream() override;

 private:
  HRESULT SendPicture(IMediaSample* pSample);
  // Delivers every packet the codec has ready.
  HRESULT DeliverPackets();
  void FreeCodec();

  // Set in StartStreaming; used by the streaming thread.
  AVCodecContext* m_codec = nullptr;
  AVFrame* m_frame = nullptr;
  AVPacket* m_packet = nullptr;
  int m_width = 0;
  int m_height = 0;
  REFERENCE_TIME m_frameDuration = 0;
  int64_t m_nextSlot = 0;  // the frame index the next picture gets at least
};
