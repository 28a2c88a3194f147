// The QrlNetSource module: one class, the network source, registered with its five URL
// schemes so that opening such a URL through a graph loads it.
#include "ClassFactory.h"
#include "MapperRegistration.h"
#include "NetSourceFilter.h"
#include "Registration.h"
#include "SchemeRegistration.h"
#include "recorder/RecorderGuids.h"

namespace {

using netsource::NetSourceFilter;

const AMOVIESETUP_MEDIATYPE kOutputTypes[] = {
    {&MEDIATYPE_RecorderStream, &MEDIASUBTYPE_RecorderStream}};

// Not rendered, not optional, not many; connects to any filter's "Input".
const AMOVIESETUP_PIN kPins[] = {
    {u"Output", FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, u"Input", 1, kOutputTypes}};

const AMOVIESETUP_FILTER kFilter = {&CLSID_QrlNetSource, kQrlNetSourceName, MERIT_NORMAL,
                                    std::size(kPins), kPins};

const CFactoryTemplate g_Templates[] = {
    {kQrlNetSourceName, &CLSID_QrlNetSource, NetSourceFilter::CreateInstance, &kFilter}};

}  // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  return AMGetClassObject(g_Templates, clsid, riid, ppv);
}
STDAPI DllCanUnloadNow() { return AMCanUnloadNow(); }
STDAPI DllRegisterServer() {
  netsource::RegisterSchemes(CLSID_QrlNetSource);
  const HRESULT hr = AMRegisterServer(g_Templates);
  return FAILED(hr) ? hr : AMRegisterFiltersWithMapper(g_Templates);
}
STDAPI DllUnregisterServer() {
  netsource::UnregisterSchemes();
  const HRESULT hr = AMUnregisterFiltersWithMapper(g_Templates);
  return FAILED(hr) ? hr : AMUnregisterServer(g_Templates);
}
