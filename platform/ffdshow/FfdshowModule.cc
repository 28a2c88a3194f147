// The module of the two encoder filters, registered where applications look them up by name:
// the video encoder among the video compressors, the audio processor among the filters.
#include <iterator>

#include "AudioProcessor.h"
#include "FfdshowIds.h"
#include "MapperInterfaces.h"
#include "MapperRegistration.h"
#include "Registration.h"
#include "VideoEncoder.h"

namespace {

const REGPINTYPES kYuvTypes[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_YV12},
                                 {&MEDIATYPE_Video, &MEDIASUBTYPE_I420},
                                 {&MEDIATYPE_Video, &MEDIASUBTYPE_IYUV}};
const REGPINTYPES kVideoOut[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_NULL}};
const REGPINTYPES kPcmTypes[] = {{&MEDIATYPE_Audio, &MEDIASUBTYPE_PCM}};

constexpr UINT Count(const auto& array) { return static_cast<UINT>(std::size(array)); }

const AMOVIESETUP_PIN kEncoderPins[] = {
    {u"In", FALSE, FALSE, FALSE, FALSE, &CLSID_NULL, nullptr, Count(kYuvTypes), kYuvTypes},
    {u"Out", FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, nullptr, Count(kVideoOut), kVideoOut}};
const AMOVIESETUP_PIN kProcessorPins[] = {
    {u"In", FALSE, FALSE, FALSE, FALSE, &CLSID_NULL, nullptr, Count(kPcmTypes), kPcmTypes},
    {u"Out", FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, nullptr, Count(kPcmTypes), kPcmTypes}};

// Both are placed by hand, never chosen by graph building.
const AMOVIESETUP_FILTER kEncoderSetup = {&CLSID_FfdshowVideoEncoder, kFfdshowVideoEncoderName,
                                          MERIT_DO_NOT_USE, Count(kEncoderPins), kEncoderPins};
const AMOVIESETUP_FILTER kProcessorSetup = {&CLSID_FfdshowAudioProcessor,
                                            kFfdshowAudioProcessorName, MERIT_DO_NOT_USE,
                                            Count(kProcessorPins), kProcessorPins};

const CFactoryTemplate g_Templates[] = {
    {kFfdshowVideoEncoderName, &CLSID_FfdshowVideoEncoder, VideoEncoder::CreateInstance,
     &kEncoderSetup},
    {kFfdshowAudioProcessorName, &CLSID_FfdshowAudioProcessor, AudioProcessor::CreateInstance,
     &kProcessorSetup}};

const AMCategorizedTemplate kRegistrations[] = {
    {&g_Templates[0], &CLSID_VideoCompressorCategory},
    {&g_Templates[1], &CLSID_LegacyAmFilterCategory}};

}  // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  return AMGetClassObject(g_Templates, clsid, riid, ppv);
}
STDAPI DllCanUnloadNow() { return AMCanUnloadNow(); }
STDAPI DllRegisterServer() {
  const HRESULT hr = AMRegisterServer(g_Templates);
  return FAILED(hr) ? hr : AMRegisterFiltersWithMapper(kRegistrations);
}
STDAPI DllUnregisterServer() {
  const HRESULT hr = AMUnregisterFiltersWithMapper(kRegistrations);
  return FAILED(hr) ? hr : AMUnregisterServer(g_Templates);
}
