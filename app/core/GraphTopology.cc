// Finding and creating filters, finding pins, taking the renderers out of a rendered graph and
// connecting pins.
#include <cstring>

#include "ComRuntime.h"
#include "DShowErrors.h"
#include "GraphCtl.h"
#include "PinUtil.h"
#include "WideString.h"

// The overlay mixer's interface: a renderer fed through an overlay mixer is detached together
// with the mixer. Only its identity is needed here.
DEFINE_GUID(IID_IAMOverlayFX, 0x62FAE250, 0x7E65, 0x4460, 0xBF, 0xC9, 0x63, 0x98, 0xB3, 0x22, 0x07,
            0x3C);

namespace recast {
namespace {

// Pin names are compared in their first 128 bytes of ANSI text.
constexpr size_t kPinNameBytes = 128;

bool Exposes(IUnknown* object, REFIID iid) {
  ComPtr<IUnknown> answer;
  return object && SUCCEEDED(object->QueryInterface(iid, answer.ReleaseAndGetVoidAddress()));
}

// The first filter of the graph that exposes `iid`.
ComPtr<IBaseFilter> FirstFilterWith(IGraphBuilder* graph, REFIID iid) {
  ComPtr<IEnumFilters> filters;
  if (!graph || FAILED(graph->EnumFilters(filters.GetAddressOf()))) return nullptr;
  for (ComPtr<IBaseFilter> filter; filters->Next(1, filter.ReleaseAndGetAddressOf(), nullptr) == S_OK;)
    if (Exposes(filter.Get(), iid)) return filter;
  return nullptr;
}

std::string ReadBagText(IPropertyBag* bag, LPCOLESTR name) {
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_BSTR;
  std::string text;
  if (SUCCEEDED(bag->Read(name, &value, nullptr)) && value.vt == VT_BSTR && value.bstrVal)
    text = WideToUtf8(value.bstrVal);
  VariantClear(&value);
  return text;
}

}  // namespace

const CLSID& CategoryClass(FilterCategory category) {
  switch (category) {
    case FilterCategory::AudioCapture: return CLSID_AudioInputDeviceCategory;
    case FilterCategory::AudioCompressors: return CLSID_AudioCompressorCategory;
    case FilterCategory::AudioRenderers: return CLSID_AudioRendererCategory;
    case FilterCategory::DirectShowFilters: return CLSID_LegacyAmFilterCategory;
    case FilterCategory::MidiRenderers: return CLSID_MidiRendererCategory;
    case FilterCategory::VideoCapture: return CLSID_VideoInputDeviceCategory;
    case FilterCategory::VideoCompressors: return CLSID_VideoCompressorCategory;
  }
  return CLSID_LegacyAmFilterCategory;
}

HRESULT CGraphCtl::FindByFriendlyName(std::u16string_view name, FilterCategory category,
                                      ComPtr<IBaseFilter>& filter) {
  filter.Reset();
  if (!graph_) return E_UNEXPECTED;
  ComPtr<ICreateDevEnum> devices;
  HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                IID_ICreateDevEnum, devices.ReleaseAndGetVoidAddress());
  if (FAILED(hr)) return hr;
  ComPtr<IEnumMoniker> monikers;
  hr = devices->CreateClassEnumerator(CategoryClass(category), monikers.GetAddressOf(), 0);
  if (hr != S_OK || !monikers) return FAILED(hr) ? hr : VFW_E_NOT_FOUND;

  const std::string wanted = WideToUtf8(name);
  for (ComPtr<IMoniker> moniker; monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK;) {
    ComPtr<IPropertyBag> bag;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.ReleaseAndGetVoidAddress())))
      continue;
    if (ReadBagText(bag.Get(), u"FriendlyName") != wanted) continue;
    CLSID clsid{};
    hr = CLSIDFromString(Utf8ToWide(ReadBagText(bag.Get(), u"CLSID")).c_str(), &clsid);
    if (FAILED(hr)) return hr;
    return CreateByClass(clsid, name, filter);
  }
  return VFW_E_NOT_FOUND;
}

HRESULT CGraphCtl::CreateByClass(const CLSID& clsid, std::u16string_view name,
                                 ComPtr<IBaseFilter>& filter) {
  filter.Reset();
  if (!graph_) return E_UNEXPECTED;
  HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                filter.ReleaseAndGetVoidAddress());
  if (FAILED(hr)) return hr;
  const std::u16string text(name);
  hr = graph_->AddFilter(filter.Get(), text.c_str());
  if (FAILED(hr)) filter.Reset();
  return hr;
}

ComPtr<IPin> CGraphCtl::PinOf(IBaseFilter* filter, PIN_DIRECTION direction,
                              std::string_view namePart) {
  if (!filter) return nullptr;
  for (ComPtr<IPin>& pin : FilterPins(filter, direction)) {
    if (namePart.empty()) return pin;
    std::string name = WideToUtf8(PinName(pin.Get()));
    if (name.size() > kPinNameBytes) name.resize(kPinNameBytes);
    if (name.find(namePart) != std::string::npos) return pin;
  }
  return nullptr;
}

ComPtr<IPin> CGraphCtl::FreeInputPin(IBaseFilter* filter) {
  if (!filter) return nullptr;
  for (ComPtr<IPin>& pin : FilterPins(filter, PINDIR_INPUT))
    if (!ConnectedPin(pin.Get())) return pin;
  return nullptr;
}

ComPtr<IBaseFilter> CGraphCtl::UpstreamOf(IBaseFilter* filter) {
  if (!filter) return nullptr;
  for (ComPtr<IPin>& pin : FilterPins(filter, PINDIR_INPUT))
    if (ComPtr<IPin> peer = ConnectedPin(pin.Get())) return PinOwner(peer.Get());
  return nullptr;
}

ComPtr<IPin> CGraphCtl::DetachVideo() {
  ComPtr<IBaseFilter> renderer = FirstFilterWith(graph_.Get(), IID_IVideoWindow);
  if (!renderer) return nullptr;
  ComPtr<IBaseFilter> upstream = UpstreamOf(renderer.Get());
  if (upstream && Exposes(upstream.Get(), IID_IAMOverlayFX)) {
    ComPtr<IBaseFilter> mixer = upstream;
    upstream = UpstreamOf(mixer.Get());
    Remove(mixer.Get());
  }
  Remove(renderer.Get());
  return PinOf(upstream.Get(), PINDIR_OUTPUT);
}

ComPtr<IPin> CGraphCtl::DetachAudio() {
  ComPtr<IBaseFilter> renderer = FirstFilterWith(graph_.Get(), IID_IBasicAudio);
  if (!renderer) return nullptr;
  ComPtr<IBaseFilter> upstream = UpstreamOf(renderer.Get());
  Remove(renderer.Get());
  return PinOf(upstream.Get(), PINDIR_OUTPUT);
}

bool CGraphCtl::Connect(IPin* output, IPin* input) {
  return graph_ && output && input && SUCCEEDED(graph_->ConnectDirect(output, input, nullptr));
}

void CGraphCtl::Remove(IBaseFilter* filter) {
  if (graph_ && filter) graph_->RemoveFilter(filter);
}

void CGraphCtl::RenderAgain(IPin* output) {
  if (graph_ && output) graph_->Render(output);
}

}  // namespace recast
