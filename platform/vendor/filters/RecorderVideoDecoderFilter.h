// RecorderVideoDecoderFilter: the recorder video decoder filter. Input: recorder video
// samples (VideoSamplePrefix and the group's video blocks; format block: FileHeader +
// VIDEOINFOHEADER) of both recorder video subtypes; the FileHeader's magic picks H.264 or
// MPEG-4 part 2. Each sample decodes the block its prefix index names. Output: YV12 or I420
// with a VIDEOINFOHEADER of the picture size, stamped with the times of the sample each frame
// came from. A sample that cannot be decoded is dropped with a debug line; the stream goes on.
#pragma once

#include <functional>
#include <memory>

#include "PictureWriter.h"
#include "RecorderVideoDecoder.h"
#include "Transform.h"

namespace vendor {

class RecorderVideoDecoderFilter final : public CTransformFilter {
 public:
  static CUnknown* CreateInstance(IUnknown* outer, HRESULT* phr);

  HRESULT CheckInputType(const CMediaType* mtIn) override;
  HRESULT CheckTransform(const CMediaType* mtIn, const CMediaType* mtOut) override;
  // 0: YV12, 1: I420, at the input's picture size.
  HRESULT GetMediaType(int position, CMediaType* pMediaType) override;
  HRESULT DecideBufferSize(IMemAllocator* pAllocator, ALLOCATOR_PROPERTIES* pProp) override;
  HRESULT SetMediaType(PIN_DIRECTION direction, const CMediaType* pmt) override;
  HRESULT StartStreaming() override;
  HRESULT StopStreaming() override;

  // Decodes the sample's frame and delivers every frame the decoder lets out.
  HRESULT Receive(IMediaSample* pSample) override;
  // Not used: Receive decodes, since frames may leave later than their sample arrives.
  HRESULT Transform(IMediaSample* pIn, IMediaSample* pOut) override;
  // Delivers the frames the decoder still holds, then the end of stream.
  HRESULT EndOfStream() override;
  HRESULT EndFlush() override;

 private:
  explicit RecorderVideoDecoderFilter(IUnknown* outer);
  void DeliverFrame(const AVFrame& frame);
  // Pictures of another size than the connection's (a FileHeader that names the wrong size):
  // when the pin downstream accepts the decoded size and `out` can hold it, `out` carries the
  // new type and the pictures keep their size from then on. Otherwise they are scaled.
  void FollowDecodedSize(const AVFrame& frame, IMediaSample* out);

  // Set with the connection types (stopped, filter lock); used while streaming, when
  // FollowDecodedSize may change the picture size (m_csReceive).
  uint32_t magic_ = 0;
  int width_ = 0;
  int height_ = 0;
  REFERENCE_TIME frameTime_ = 0;  // AvgTimePerFrame of the input
  PictureLayout layout_;          // of the output buffers

  // Used while streaming, under m_csReceive.
  std::unique_ptr<RecorderVideoDecoder> decoder_;
  PictureWriter writer_;
  RecorderVideoDecoder::FrameHandler frameHandler_;
  REFERENCE_TIME duration_ = 0;  // of the frames of the sample being decoded
  HRESULT deliverResult_ = S_OK;  // of the last frame delivered
};

}  // namespace vendor
