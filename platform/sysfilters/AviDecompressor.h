// "AVI Decompressor" (CLSID_AVIDec): uncompressed planar YUV 4:2:0 (YV12, I420, IYUV) in, RGB
// out (RGB32 first, then RGB24), bottom-up rows as DIBs are laid out, same size and times,
// converted with libswscale (BT.601, limited range).
#pragma once

#include "Transform.h"

struct SwsContext;

class AviDecompressor final : public CTransformFilter {
 public:
  explicit AviDecompressor(IUnknown* outer);
  ~AviDecompressor() override;
  static CUnknown* CreateInstance(IUnknown* outer, HRESULT* phr);

  HRESULT CheckInputType(const CMediaType* mtIn) override;
  HRESULT CheckTransform(const CMediaType* mtIn, const CMediaType* mtOut) override;
  HRESULT GetMediaType(int position, CMediaType* pMediaType) override;
  HRESULT DecideBufferSize(IMemAllocator* pAllocator, ALLOCATOR_PROPERTIES* pProp) override;
  HRESULT StartStreaming() override;
  HRESULT StopStreaming() override;
  HRESULT Transform(IMediaSample* pIn, IMediaSample* pOut) override;

 private:
  // The connection's sizes, fixed while streaming (set in StartStreaming under the filter lock).
  int m_width = 0;
  int m_height = 0;
  int m_outStride = 0;
  SwsContext* m_scaler = nullptr;  // made in StartStreaming, used under m_csReceive
};
