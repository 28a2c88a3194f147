#include "DecoderPins.h"

#include "Seeking.h"

namespace vendor {
namespace {

// The names the transform base class finds its pins by.
constexpr char16_t kInputName[] = u"XForm In";
constexpr char16_t kOutputName[] = u"XForm Out";

}  // namespace

DecoderOutputPin::DecoderOutputPin(CTransformFilter* filter, HRESULT* phr, IPin* input)
    : CTransformOutputPin("Decoder output pin", filter, phr, kOutputName), input_(input) {}

DecoderOutputPin::~DecoderOutputPin() {
  if (position_) position_->Release();
}

HRESULT DecoderOutputPin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (riid != IID_IMediaSeeking && riid != IID_IMediaPosition)
    return CTransformOutputPin::NonDelegatingQueryInterface(riid, ppv);
  if (!ppv) return E_POINTER;
  CAutoLock lock(m_pLock);
  if (!position_) {
    const HRESULT hr = CreatePosPassThru(static_cast<IPin*>(this), FALSE, input_, &position_);
    if (FAILED(hr)) return hr;
  }
  return position_->QueryInterface(riid, ppv);
}

HRESULT CreateDecoderPins(CTransformFilter* filter, CTransformInputPin*& input,
                          CTransformOutputPin*& output) {
  HRESULT hr = S_OK;
  input = new CTransformInputPin("Decoder input pin", filter, &hr, kInputName);
  if (FAILED(hr)) return hr;
  output = new DecoderOutputPin(filter, &hr, input);
  return hr;
}

}  // namespace vendor
