#include "PinUtil.h"

#include <algorithm>

#include "ControlInterfaces.h"
#include "MediaTypes.h"

std::vector<ComPtr<IPin>> FilterPins(IBaseFilter* filter) {
  std::vector<ComPtr<IPin>> pins;
  ComPtr<IEnumPins> pinEnum;
  if (!filter || FAILED(filter->EnumPins(pinEnum.GetAddressOf())) || !pinEnum) return pins;
  IPin* pin = nullptr;
  while (pinEnum->Next(1, &pin, nullptr) == S_OK) {
    ComPtr<IPin> owned;
    owned.Attach(pin);
    pins.push_back(std::move(owned));
  }
  return pins;
}

std::vector<ComPtr<IPin>> FilterPins(IBaseFilter* filter, PIN_DIRECTION direction) {
  auto pins = FilterPins(filter);
  std::erase_if(pins, [&](const ComPtr<IPin>& p) { return !PinDirectionIs(p.Get(), direction); });
  return pins;
}

bool PinDirectionIs(IPin* pin, PIN_DIRECTION direction) {
  PIN_DIRECTION actual;
  return pin && SUCCEEDED(pin->QueryDirection(&actual)) && actual == direction;
}

ComPtr<IPin> ConnectedPin(IPin* pin) {
  ComPtr<IPin> other;
  if (pin && FAILED(pin->ConnectedTo(other.GetAddressOf()))) other.Reset();
  return other;
}

ComPtr<IBaseFilter> PinOwner(IPin* pin) {
  ComPtr<IBaseFilter> owner;
  PIN_INFO info{};
  if (pin && SUCCEEDED(pin->QueryPinInfo(&info))) owner.Attach(info.pFilter);
  return owner;
}

std::u16string PinName(IPin* pin) {
  PIN_INFO info{};
  if (!pin || FAILED(pin->QueryPinInfo(&info))) return {};
  if (info.pFilter) info.pFilter->Release();
  info.achName[MAX_PIN_NAME - 1] = 0;
  return info.achName;
}

std::u16string FilterName(IBaseFilter* filter) {
  FILTER_INFO info{};
  if (!filter || FAILED(filter->QueryFilterInfo(&info))) return {};
  if (info.pGraph) info.pGraph->Release();
  info.achName[MAX_FILTER_NAME - 1] = 0;
  return info.achName;
}

std::vector<PinTypeRecord> PinTypes(IPin* pin) {
  std::vector<PinTypeRecord> types;
  ComPtr<IEnumMediaTypes> typeEnum;
  if (!pin || FAILED(pin->EnumMediaTypes(typeEnum.GetAddressOf())) || !typeEnum) return types;
  AM_MEDIA_TYPE* mt = nullptr;
  while (typeEnum->Next(1, &mt, nullptr) == S_OK) {
    const PinTypeRecord type{mt->majortype, mt->subtype};
    DeleteMediaType(mt);
    if (std::find(types.begin(), types.end(), type) == types.end()) types.push_back(type);
  }
  return types;
}

std::vector<ComPtr<IBaseFilter>> DownstreamFilters(IBaseFilter* filter) {
  std::vector<ComPtr<IBaseFilter>> result;
  for (const auto& out : FilterPins(filter, PINDIR_OUTPUT)) {
    if (auto in = ConnectedPin(out.Get())) {
      if (auto owner = PinOwner(in.Get())) result.push_back(std::move(owner));
    }
  }
  return result;
}

namespace {

bool FlaggedRenderer(IBaseFilter* filter) {
  ComPtr<IAMFilterMiscFlags> flags;
  return filter &&
         SUCCEEDED(filter->QueryInterface(IID_IAMFilterMiscFlags, flags.ReleaseAndGetVoidAddress())) &&
         (flags->GetMiscFlags() & AM_FILTER_MISC_FLAGS_IS_RENDERER) != 0;
}

}  // namespace

bool IsRenderer(IBaseFilter* filter) {
  if (FlaggedRenderer(filter)) return true;
  return !FilterPins(filter, PINDIR_INPUT).empty() && FilterPins(filter, PINDIR_OUTPUT).empty();
}

bool AsksForClock(IBaseFilter* filter) { return FlaggedRenderer(filter); }
