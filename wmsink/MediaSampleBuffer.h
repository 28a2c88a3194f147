// MediaSampleBuffer: a writer buffer (INSSBuffer) over a received media sample, so that a
// decoded picture reaches the writer's encoder without being copied. It holds a reference to
// the sample for as long as the writer holds the buffer; the sample's bytes are only read.
#pragma once

#include <atomic>

#include "ComPtr.h"
#include "Interfaces.h"
#include "Wmsdk.h"

class MediaSampleBuffer final : public INSSBuffer {
 public:
  // A buffer of the sample's actual data, with one reference held by `out`.
  static HRESULT Create(IMediaSample* sample, ComPtr<INSSBuffer>* out);

  HRESULT QueryInterface(REFIID riid, void** ppv) override;
  ULONG AddRef() override;
  ULONG Release() override;

  HRESULT GetLength(DWORD* length) override;
  // The length may shrink or grow up to the sample's size.
  HRESULT SetLength(DWORD length) override;
  HRESULT GetMaxLength(DWORD* length) override;
  HRESULT GetBuffer(BYTE** buffer) override;
  HRESULT GetBufferAndLength(BYTE** buffer, DWORD* length) override;

 private:
  MediaSampleBuffer(IMediaSample* sample, BYTE* data, DWORD length);
  ~MediaSampleBuffer() = default;

  ComPtr<IMediaSample> sample_;
  BYTE* const data_;
  const DWORD capacity_;
  DWORD length_;
  std::atomic<ULONG> refs_{1};
};
