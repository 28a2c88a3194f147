// The pins of the recorder decoders: the transform pins, with seeking on the output pin passed
// through to the filter upstream of the input (CPosPassThru), so that a renderer downstream
// reaches the file source's duration and positions through the decoder.
#pragma once

#include "Transform.h"

namespace vendor {

class DecoderOutputPin final : public CTransformOutputPin {
 public:
  DecoderOutputPin(CTransformFilter* filter, HRESULT* phr, IPin* input);
  ~DecoderOutputPin() override;

  // IMediaSeeking and IMediaPosition from the pass-through; the rest as the transform pin.
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

 private:
  IPin* const input_;              // the filter's input pin, not AddRef'd (same owner)
  IUnknown* position_ = nullptr;   // the pass-through's inner unknown; guarded by m_pLock
};

// Makes the input pin and a DecoderOutputPin (for CTransformFilter::CreatePins).
HRESULT CreateDecoderPins(CTransformFilter* filter, CTransformInputPin*& input,
                          CTransformOutputPin*& output);

}  // namespace vendor
