#include "Profile.h"

#include "WideText.h"

namespace {

WORD NumberOf(StreamConfig& config) {
  WORD number = 0;
  config.GetStreamNumber(&number);
  return number;
}

HRESULT HandOut(const ComPtr<StreamConfig>& config, IWMStreamConfig** out) {
  *out = config->Clone().Detach();
  return S_OK;
}

}  // namespace

HRESULT Profile::Create(WMT_VERSION version, ComPtr<Profile>* out) {
  if (!out) return E_POINTER;
  if (version != WMT_VER_8_0 && version != WMT_VER_9_0) return E_INVALIDARG;
  out->Attach(new Profile(version));
  return S_OK;
}

HRESULT Profile::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (riid == IID_IUnknown || riid == IID_IWMProfile)
    return GetInterface(static_cast<IWMProfile*>(this), ppv);
  return E_NOINTERFACE;
}

HRESULT Profile::GetVersion(WMT_VERSION* version) {
  if (!version) return E_POINTER;
  *version = version_;
  return S_OK;
}

HRESULT Profile::GetName(WCHAR* name, DWORD* chars) { return CopyWideOut(name_, name, chars); }

HRESULT Profile::SetName(const WCHAR* name) {
  if (!name) return E_POINTER;
  name_ = name;
  return S_OK;
}

HRESULT Profile::GetDescription(WCHAR* description, DWORD* chars) {
  return CopyWideOut(description_, description, chars);
}

HRESULT Profile::SetDescription(const WCHAR* description) {
  if (!description) return E_POINTER;
  description_ = description;
  return S_OK;
}

HRESULT Profile::GetStreamCount(DWORD* count) {
  if (!count) return E_POINTER;
  *count = static_cast<DWORD>(streams_.size());
  return S_OK;
}

HRESULT Profile::GetStream(DWORD index, IWMStreamConfig** config) {
  if (!config) return E_POINTER;
  *config = nullptr;
  if (index >= streams_.size()) return E_INVALIDARG;
  return HandOut(streams_[index], config);
}

std::vector<ComPtr<StreamConfig>>::iterator Profile::FindNumber(WORD number) {
  for (auto it = streams_.begin(); it != streams_.end(); ++it)
    if (NumberOf(**it) == number) return it;
  return streams_.end();
}

HRESULT Profile::GetStreamByNumber(WORD number, IWMStreamConfig** config) {
  if (!config) return E_POINTER;
  *config = nullptr;
  auto it = FindNumber(number);
  if (it == streams_.end()) return NS_E_NO_STREAM;
  return HandOut(*it, config);
}

HRESULT Profile::RemoveStream(IWMStreamConfig* config) {
  if (!config) return E_POINTER;
  WORD number = 0;
  if (HRESULT hr = config->GetStreamNumber(&number); FAILED(hr)) return hr;
  return RemoveStreamByNumber(number);
}

HRESULT Profile::RemoveStreamByNumber(WORD number) {
  auto it = FindNumber(number);
  if (it == streams_.end()) return NS_E_NO_STREAM;
  streams_.erase(it);
  return S_OK;
}

HRESULT Profile::CopyOf(IWMStreamConfig* config, ComPtr<StreamConfig>* copy) {
  if (!config) return E_POINTER;
  // Only configurations made by this library can join a profile; they are the only ones
  // answering IWMPropertyVault through this implementation.
  auto* own = dynamic_cast<StreamConfig*>(config);
  if (!own) return E_INVALIDARG;
  *copy = own->Clone();
  return S_OK;
}

HRESULT Profile::AddStream(IWMStreamConfig* config) {
  ComPtr<StreamConfig> copy;
  if (HRESULT hr = CopyOf(config, &copy); FAILED(hr)) return hr;
  const WORD number = NumberOf(*copy);
  if (number == 0 || FindNumber(number) != streams_.end()) return NS_E_INVALID_STREAM;
  if (copy->MediaType().Get().formattype == GUID_NULL) return NS_E_INVALID_STREAM;
  streams_.push_back(std::move(copy));
  return S_OK;
}

HRESULT Profile::ReconfigStream(IWMStreamConfig* config) {
  ComPtr<StreamConfig> copy;
  if (HRESULT hr = CopyOf(config, &copy); FAILED(hr)) return hr;
  auto it = FindNumber(NumberOf(*copy));
  if (it == streams_.end()) return NS_E_NO_STREAM;
  *it = std::move(copy);
  return S_OK;
}

HRESULT Profile::CreateNewStream(REFGUID type, IWMStreamConfig** config) {
  if (!config) return E_POINTER;
  *config = nullptr;
  ComPtr<StreamConfig> stream;
  if (HRESULT hr = StreamConfig::Create(type, &stream); FAILED(hr)) return hr;
  // The next free number, as a starting point the caller usually overrides.
  WORD number = 1;
  while (FindNumber(number) != streams_.end()) ++number;
  stream->SetStreamNumber(number);
  *config = stream.Detach();
  return S_OK;
}

HRESULT Profile::GetMutualExclusionCount(DWORD* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT Profile::GetMutualExclusion(DWORD, IWMMutualExclusion** exclusion) {
  if (!exclusion) return E_POINTER;
  *exclusion = nullptr;
  return E_INVALIDARG;
}

HRESULT Profile::RemoveMutualExclusion(IWMMutualExclusion*) { return E_INVALIDARG; }
HRESULT Profile::AddMutualExclusion(IWMMutualExclusion*) { return E_NOTIMPL; }

HRESULT Profile::CreateNewMutualExclusion(IWMMutualExclusion** exclusion) {
  if (!exclusion) return E_POINTER;
  *exclusion = nullptr;
  return E_NOTIMPL;
}
