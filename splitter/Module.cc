// The QrlNetSplitter module: one class, registered for the recorder stream on its input so
// that graph building places it behind the network source.
#include "ClassFactory.h"
#include "ComRuntime.h"
#include "MapperRegistration.h"
#include "Registration.h"
#include "SplitterFilter.h"
#include "recorder/RecorderGuids.h"

namespace {

using splitter::CQrlNetSplitter;

const AMOVIESETUP_MEDIATYPE kInputTypes[] = {
    {&MEDIATYPE_RecorderStream, &MEDIASUBTYPE_RecorderStream}};
const AMOVIESETUP_MEDIATYPE kVideoTypes[] = {
    {&MEDIATYPE_RecorderStream, &MEDIASUBTYPE_RecorderVideo},
    {&MEDIATYPE_RecorderStream, &MEDIASUBTYPE_RecorderVideo2}};
const AMOVIESETUP_MEDIATYPE kAudioTypes[] = {
    {&MEDIATYPE_RecorderStream, &MEDIASUBTYPE_RecorderAudioG722},
    {&MEDIATYPE_RecorderNoAudio, &MEDIASUBTYPE_RecorderNoAudio}};

// Neither rendered, nor optional, nor many; any filter may connect.
const AMOVIESETUP_PIN kPins[] = {
    {u"Input", FALSE, FALSE, FALSE, FALSE, &CLSID_NULL, u"Output", 1, kInputTypes},
    {u"Video Output", FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, u"Input", 2, kVideoTypes},
    {u"Audio Output", FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, u"Input", 2, kAudioTypes}};

constexpr WCHAR kFriendlyName[] = u"Quorel Net Splitter";

const AMOVIESETUP_FILTER kFilter = {&CLSID_QrlNetSplitter, kFriendlyName, MERIT_PREFERRED,
                                    std::size(kPins), kPins};

const CFactoryTemplate g_Templates[] = {
    {kFriendlyName, &CLSID_QrlNetSplitter, CQrlNetSplitter::CreateInstance, &kFilter}};

}  // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  return AMGetClassObject(g_Templates, clsid, riid, ppv);
}
STDAPI DllCanUnloadNow() { return AMCanUnloadNow(); }
STDAPI DllRegisterServer() {
  const HRESULT hr = AMRegisterServer(g_Templates);
  return FAILED(hr) ? hr : AMRegisterFiltersWithMapper(g_Templates);
}
STDAPI DllUnregisterServer() {
  const HRESULT hr = AMUnregisterFiltersWithMapper(g_Templates);
  return FAILED(hr) ? hr : AMUnregisterServer(g_Templates);
}
