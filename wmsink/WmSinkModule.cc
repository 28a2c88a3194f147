// The WmSink module: the ASF writer's class factory, registration and unload rule.
#include "ClassFactory.h"
#include "ComRuntime.h"
#include "MapperRegistration.h"
#include "Registration.h"
#include "WmSinkFilter.h"

namespace {

constexpr char16_t kFriendlyName[] = u"ASF Writer";
constexpr char16_t kPinName[] = u"Input";
constexpr char16_t kConnectsToPin[] = u"Output";

const AMOVIESETUP_MEDIATYPE kPinTypes = {&GUID_NULL, &GUID_NULL};

const AMOVIESETUP_PIN kPins[] = {
    {kPinName, FALSE, FALSE, FALSE, FALSE, &GUID_NULL, kConnectsToPin, 1, &kPinTypes},
    {kPinName, FALSE, FALSE, FALSE, FALSE, &GUID_NULL, kConnectsToPin, 1, &kPinTypes},
};

const AMOVIESETUP_FILTER kFilter = {&CLSID_WmSink, kFriendlyName, MERIT_DO_NOT_USE,
                                    static_cast<UINT>(std::size(kPins)), kPins};

const CFactoryTemplate kTemplates[] = {
    {kFriendlyName, &CLSID_WmSink, CWmSinkFilter::CreateInstance, &kFilter},
};

}  // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  return AMGetClassObject(kTemplates, clsid, riid, ppv);
}

STDAPI DllCanUnloadNow() { return AMCanUnloadNow(); }
STDAPI DllRegisterServer() {
  const HRESULT hr = AMRegisterServer(kTemplates);
  return FAILED(hr) ? hr : AMRegisterFiltersWithMapper(kTemplates);
}
STDAPI DllUnregisterServer() {
  const HRESULT hr = AMUnregisterFiltersWithMapper(kTemplates);
  return FAILED(hr) ? hr : AMUnregisterServer(kTemplates);
}
