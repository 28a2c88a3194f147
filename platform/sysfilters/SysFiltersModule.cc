// The module of the system filters: class factories and registration in the categories where
// applications and graph building look for them.
#include <iterator>

#include "AudioRenderer.h"
#include "AviDecompressor.h"
#include "AviMux.h"
#include "CopyMux.h"
#include "CopyMuxIds.h"
#include "FileWriter.h"
#include "MapperInterfaces.h"
#include "MapperRegistration.h"
#include "Registration.h"
#include "SysFilterIds.h"
#include "VideoRenderer.h"

namespace {

const REGPINTYPES kYuvTypes[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_YV12},
                                 {&MEDIATYPE_Video, &MEDIASUBTYPE_I420},
                                 {&MEDIATYPE_Video, &MEDIASUBTYPE_IYUV}};
const REGPINTYPES kRgbTypes[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_RGB32},
                                 {&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24}};
const REGPINTYPES kPcmTypes[] = {{&MEDIATYPE_Audio, &MEDIASUBTYPE_PCM}};
const REGPINTYPES kAnyTypes[] = {{&MEDIATYPE_NULL, &MEDIASUBTYPE_NULL}};
const REGPINTYPES kAviStream[] = {{&MEDIATYPE_Stream, &MEDIASUBTYPE_Avi}};

constexpr UINT Count(const auto& array) { return static_cast<UINT>(std::size(array)); }

const AMOVIESETUP_PIN kVideoRendererPins[] = {
    {u"Input", TRUE, FALSE, FALSE, FALSE, &CLSID_NULL, nullptr, Count(kYuvTypes), kYuvTypes}};
const AMOVIESETUP_PIN kAudioRendererPins[] = {
    {u"Input", TRUE, FALSE, FALSE, FALSE, &CLSID_NULL, nullptr, Count(kPcmTypes), kPcmTypes}};
const AMOVIESETUP_PIN kAviMuxPins[] = {
    {u"Input", FALSE, FALSE, FALSE, TRUE, &CLSID_NULL, nullptr, Count(kAnyTypes), kAnyTypes},
    {u"Output", FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, nullptr, Count(kAviStream), kAviStream}};
const REGPINTYPES kByteStream[] = {{&MEDIATYPE_Stream, &MEDIASUBTYPE_NULL}};
const AMOVIESETUP_PIN kCopyMuxPins[] = {
    {kCopyMuxVideoPin, FALSE, FALSE, FALSE, FALSE, &CLSID_NULL, nullptr, Count(kAnyTypes), kAnyTypes},
    {kCopyMuxAudioPin, FALSE, FALSE, FALSE, FALSE, &CLSID_NULL, nullptr, Count(kAnyTypes), kAnyTypes},
    {u"Out", FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, nullptr, Count(kByteStream), kByteStream}};
const AMOVIESETUP_PIN kFileWriterPins[] = {
    {u"in", FALSE, FALSE, FALSE, FALSE, &CLSID_NULL, nullptr, Count(kAnyTypes), kAnyTypes}};
const AMOVIESETUP_PIN kAviDecPins[] = {
    {u"XForm In", FALSE, FALSE, FALSE, FALSE, &CLSID_NULL, nullptr, Count(kYuvTypes), kYuvTypes},
    {u"XForm Out", FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, nullptr, Count(kRgbTypes), kRgbTypes}};

const AMOVIESETUP_FILTER kVideoRendererSetup = {&CLSID_VideoRenderer, kVideoRendererName,
                                                MERIT_PREFERRED, Count(kVideoRendererPins),
                                                kVideoRendererPins};
const AMOVIESETUP_FILTER kAudioRendererSetup = {&CLSID_AudioRender, kAudioRendererName,
                                                MERIT_PREFERRED, Count(kAudioRendererPins),
                                                kAudioRendererPins};
// The multiplexer and the writer are only ever placed by hand.
const AMOVIESETUP_FILTER kAviMuxSetup = {&CLSID_AviDest, kAviMuxName, MERIT_DO_NOT_USE,
                                         Count(kAviMuxPins), kAviMuxPins};
const AMOVIESETUP_FILTER kMp4MuxSetup = {&CLSID_Mp4Mux, kMp4MuxName, MERIT_DO_NOT_USE,
                                         Count(kCopyMuxPins), kCopyMuxPins};
const AMOVIESETUP_FILTER kMatroskaMuxSetup = {&CLSID_MatroskaMux, kMatroskaMuxName,
                                              MERIT_DO_NOT_USE, Count(kCopyMuxPins), kCopyMuxPins};
const AMOVIESETUP_FILTER kFileWriterSetup = {&CLSID_FileWriter, kFileWriterName, MERIT_DO_NOT_USE,
                                             Count(kFileWriterPins), kFileWriterPins};
const AMOVIESETUP_FILTER kAviDecSetup = {&CLSID_AVIDec, kAviDecompressorName, MERIT_NORMAL,
                                         Count(kAviDecPins), kAviDecPins};

const CFactoryTemplate g_Templates[] = {
    {kVideoRendererName, &CLSID_VideoRenderer, VideoRenderer::CreateInstance, &kVideoRendererSetup},
    {kAudioRendererName, &CLSID_AudioRender, AudioRenderer::CreateInstance, &kAudioRendererSetup},
    {kAviMuxName, &CLSID_AviDest, AviMux::CreateInstance, &kAviMuxSetup},
    {kFileWriterName, &CLSID_FileWriter, FileWriter::CreateInstance, &kFileWriterSetup},
    {kAviDecompressorName, &CLSID_AVIDec, AviDecompressor::CreateInstance, &kAviDecSetup},
    {kMp4MuxName, &CLSID_Mp4Mux, CopyMux::CreateMp4, &kMp4MuxSetup},
    {kMatroskaMuxName, &CLSID_MatroskaMux, CopyMux::CreateMatroska, &kMatroskaMuxSetup}};

const AMCategorizedTemplate kRegistrations[] = {
    {&g_Templates[0], &CLSID_LegacyAmFilterCategory},
    {&g_Templates[1], &CLSID_AudioRendererCategory},
    {&g_Templates[2], &CLSID_LegacyAmFilterCategory},
    {&g_Templates[3], &CLSID_LegacyAmFilterCategory},
    {&g_Templates[4], &CLSID_LegacyAmFilterCategory},
    {&g_Templates[5], &CLSID_LegacyAmFilterCategory},
    {&g_Templates[6], &CLSID_LegacyAmFilterCategory}};

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
