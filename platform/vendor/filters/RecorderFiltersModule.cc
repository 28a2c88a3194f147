// libRecorderFilters: the recorder file source and the recorder video and audio decoders as
// an in-process COM server with the four module exports.
#include "ClassFactory.h"
#include "ComRuntime.h"
#include "MapperRegistration.h"
#include "MediaGuids.h"
#include "ModuleRegistration.h"
#include "RecorderAudioDecoder.h"
#include "RecorderFileSource.h"
#include "RecorderFilterIds.h"
#include "RecorderVideoDecoderFilter.h"
#include "Registration.h"
#include "recorder/RecorderMediaTypes.h"

namespace vendor {
namespace {

// What the filter mapper records of each filter: merit, pins and pin media types.
const AMOVIESETUP_MEDIATYPE kRecorderVideoTypes[] = {
    {&MEDIATYPE_RecorderStream, &MEDIASUBTYPE_RecorderVideo},
    {&MEDIATYPE_RecorderStream, &MEDIASUBTYPE_RecorderVideo2}};
// ADPCM has no subtype of its own: its type carries a null subtype.
const AMOVIESETUP_MEDIATYPE kRecorderAudioTypes[] = {
    {&MEDIATYPE_RecorderStream, &MEDIASUBTYPE_RecorderAudioG722},
    {&MEDIATYPE_RecorderStream, &MEDIASUBTYPE_RecorderAudio711},
    {&MEDIATYPE_RecorderStream, &MEDIASUBTYPE_NULL},
    {&MEDIATYPE_RecorderNoAudio, &MEDIASUBTYPE_RecorderNoAudio}};
const AMOVIESETUP_MEDIATYPE kDecodedVideoTypes[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_YV12},
                                                    {&MEDIATYPE_Video, &MEDIASUBTYPE_I420}};
const AMOVIESETUP_MEDIATYPE kDecodedAudioTypes[] = {{&MEDIATYPE_Audio, &MEDIASUBTYPE_PCM}};

const AMOVIESETUP_PIN kSourcePins[] = {
    {u"Video", FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, nullptr, std::size(kRecorderVideoTypes),
     kRecorderVideoTypes},
    {u"Audio", FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, nullptr, std::size(kRecorderAudioTypes),
     kRecorderAudioTypes}};
const AMOVIESETUP_PIN kVideoDecoderPins[] = {
    {u"XForm In", FALSE, FALSE, FALSE, FALSE, &CLSID_NULL, nullptr, std::size(kRecorderVideoTypes),
     kRecorderVideoTypes},
    {u"XForm Out", FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, nullptr, std::size(kDecodedVideoTypes),
     kDecodedVideoTypes}};
const AMOVIESETUP_PIN kAudioDecoderPins[] = {
    {u"XForm In", FALSE, FALSE, FALSE, FALSE, &CLSID_NULL, nullptr, std::size(kRecorderAudioTypes),
     kRecorderAudioTypes},
    {u"XForm Out", FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, nullptr, std::size(kDecodedAudioTypes),
     kDecodedAudioTypes}};

const AMOVIESETUP_FILTER kSourceSetup = {&CLSID_RecorderFileSource, u"Recorder File Source",
                                         MERIT_UNLIKELY, std::size(kSourcePins), kSourcePins};
const AMOVIESETUP_FILTER kVideoDecoderSetup = {&CLSID_RecorderVideoDecoder,
                                               u"Recorder Video Decoder", MERIT_NORMAL,
                                               std::size(kVideoDecoderPins), kVideoDecoderPins};
const AMOVIESETUP_FILTER kAudioDecoderSetup = {&CLSID_RecorderAudioDecoder,
                                               u"Recorder Audio Decoder", MERIT_NORMAL,
                                               std::size(kAudioDecoderPins), kAudioDecoderPins};

const CFactoryTemplate kTemplates[] = {
    {kSourceSetup.strName, &CLSID_RecorderFileSource, RecorderFileSource::CreateInstance,
     &kSourceSetup},
    {kVideoDecoderSetup.strName, &CLSID_RecorderVideoDecoder,
     RecorderVideoDecoderFilter::CreateInstance, &kVideoDecoderSetup},
    {kAudioDecoderSetup.strName, &CLSID_RecorderAudioDecoder,
     RecorderAudioDecoder::CreateInstance, &kAudioDecoderSetup},
};

}  // namespace
}  // namespace vendor

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv) {
  return AMGetClassObject(vendor::kTemplates, clsid, riid, ppv);
}

STDAPI DllCanUnloadNow() { return AMCanUnloadNow(); }

STDAPI DllRegisterServer() {
  HRESULT hr = AMRegisterServer(vendor::kTemplates);
  if (SUCCEEDED(hr)) hr = vendor::RegisterRecorderFiles(CLSID_RecorderFileSource);
  if (SUCCEEDED(hr)) hr = AMRegisterFiltersWithMapper(vendor::kTemplates);
  return hr;
}

STDAPI DllUnregisterServer() {
  const HRESULT mapper = AMUnregisterFiltersWithMapper(vendor::kTemplates);
  const HRESULT files = vendor::UnregisterRecorderFiles();
  const HRESULT classes = AMUnregisterServer(vendor::kTemplates);
  if (FAILED(mapper)) return mapper;
  return FAILED(files) ? files : classes;
}
