#include "StreamPlan.h"

#include "ComPtr.h"

namespace {

HRESULT ReadName(IWMStreamConfig* config, HRESULT (IWMStreamConfig::*get)(WCHAR*, WORD*),
                 std::u16string* name) {
  WORD chars = 0;
  if (HRESULT hr = (config->*get)(nullptr, &chars); FAILED(hr)) return hr;
  std::u16string text(chars, u'\0');
  if (HRESULT hr = (config->*get)(text.data(), &chars); FAILED(hr)) return hr;
  if (!text.empty()) text.pop_back();  // the terminating null
  *name = std::move(text);
  return S_OK;
}

void ReadVideoSettings(IWMStreamConfig* config, StreamPlan* plan) {
  ComPtr<IWMVideoMediaProps> video;
  if (FAILED(ComPtr<IWMStreamConfig>(config).As(video))) return;
  video->GetMaxKeyFrameSpacing(&plan->key_frame_spacing);
  video->GetQuality(&plan->quality);
}

}  // namespace

HRESULT ReadStreamPlan(IWMStreamConfig* config, StreamPlan* plan) {
  if (!config || !plan) return E_POINTER;
  if (HRESULT hr = config->GetStreamType(&plan->type); FAILED(hr)) return hr;
  if (HRESULT hr = config->GetStreamNumber(&plan->number); FAILED(hr)) return hr;
  if (HRESULT hr = ReadName(config, &IWMStreamConfig::GetStreamName, &plan->name); FAILED(hr))
    return hr;
  if (HRESULT hr = ReadName(config, &IWMStreamConfig::GetConnectionName, &plan->connection);
      FAILED(hr))
    return hr;
  if (HRESULT hr = config->GetBitrate(&plan->bitrate); FAILED(hr)) return hr;
  if (HRESULT hr = config->GetBufferWindow(&plan->buffer_window); FAILED(hr)) return hr;
  ComPtr<IWMMediaProps> props;
  if (HRESULT hr = ComPtr<IWMStreamConfig>(config).As(props); FAILED(hr)) return hr;
  if (HRESULT hr = ReadMediaType(props, &plan->media_type); FAILED(hr)) return hr;
  if (plan->IsVideo()) ReadVideoSettings(config, plan);
  ComPtr<IWMPropertyVault> vault;
  if (FAILED(ComPtr<IWMStreamConfig>(config).As(vault))) return S_OK;  // no encoder settings
  return CopySettings(vault, &plan->properties);
}
