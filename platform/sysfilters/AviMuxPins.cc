#include "AviMuxPins.h"

#include "AviMux.h"
#include "AviStreamFormat.h"

AviMuxInputPin::AviMuxInputPin(AviMux* mux, CCritSec* lock, HRESULT* phr, LPCWSTR name)
    : MuxInputPin("AVI Mux input", mux, lock, phr, name), m_pAviMux(mux) {}

HRESULT AviMuxInputPin::CheckMediaType(const CMediaType* pmt) {
  if (!pmt) return E_POINTER;
  return DescribeAviStream(*pmt, nullptr, nullptr);
}

HRESULT AviMuxInputPin::CompleteConnect(IPin* pReceivePin) {
  const HRESULT hr = CBaseInputPin::CompleteConnect(pReceivePin);
  if (SUCCEEDED(hr)) m_pAviMux->InputConnected();
  return hr;
}
