// Stand-in renderers for the RenderFile tests, until the system renderers exist: a video
// renderer for YV12 and I420 and an audio renderer for PCM, registered with the filter mapper
// so that a graph renders the recorder decoders into them. Each counts what it receives
// (IRenderStatistics) and consumes it at its time on the graph clock.
#include <mutex>

#include "ClassFactory.h"
#include "ComRuntime.h"
#include "MapperRegistration.h"
#include "Registration.h"
#include "RenderStatistics.h"
#include "Renderer.h"

DEFINE_GUID(CLSID_RecorderTestVideoRenderer, 0x2A5F0B71, 0x6C0E, 0x4B8D, 0x9E, 0x21, 0x53, 0x7A,
            0x0C, 0x44, 0x19, 0xD2);
DEFINE_GUID(CLSID_RecorderTestAudioRenderer, 0x2A5F0B72, 0x6C0E, 0x4B8D, 0x9E, 0x21, 0x53, 0x7A,
            0x0C, 0x44, 0x19, 0xD2);

namespace {

class CountingRenderer final : public CBaseRenderer, public IRenderStatistics,
                               public IAMFilterMiscFlags {
 public:
  CountingRenderer(IUnknown* outer, REFCLSID clsid, const GUID& major)
      : CBaseRenderer(clsid, "Recorder test renderer", outer, nullptr), major_(major) {}

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IRenderStatistics) return GetInterface(static_cast<IRenderStatistics*>(this), ppv);
    if (riid == IID_IAMFilterMiscFlags)
      return GetInterface(static_cast<IAMFilterMiscFlags*>(this), ppv);
    return CBaseRenderer::NonDelegatingQueryInterface(riid, ppv);
  }

  HRESULT CheckMediaType(const CMediaType* mt) override {
    if (*mt->Type() != major_) return VFW_E_TYPE_NOT_ACCEPTED;
    const GUID& sub = *mt->Subtype();
    const bool known = major_ == MEDIATYPE_Audio
                           ? sub == MEDIASUBTYPE_PCM
                           : sub == MEDIASUBTYPE_YV12 || sub == MEDIASUBTYPE_I420;
    return known ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }

  HRESULT DoRenderSample(IMediaSample* sample) override {
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    const bool timed = SUCCEEDED(sample->GetTime(&start, &stop));
    std::lock_guard guard(lock_);
    if (timed) {
      last_ = start;
      if (count_ == 0) first_ = start;
    }
    ++count_;
    return S_OK;
  }

  HRESULT OnStartStreaming() override {
    std::lock_guard guard(lock_);
    count_ = 0;
    first_ = last_ = 0;
    return S_OK;
  }

  HRESULT GetRenderStatistics(LONG* samples, REFERENCE_TIME* first, REFERENCE_TIME* last) override {
    if (!samples || !first || !last) return E_POINTER;
    std::lock_guard guard(lock_);
    *samples = count_;
    *first = first_;
    *last = last_;
    return count_ ? S_OK : S_FALSE;
  }

  ULONG GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }

 private:
  const GUID major_;
  std::mutex lock_;  // guards the three counts below
  LONG count_ = 0;
  REFERENCE_TIME first_ = 0;
  REFERENCE_TIME last_ = 0;
};

CUnknown* CreateVideo(IUnknown* outer, HRESULT*) {
  return new CountingRenderer(outer, CLSID_RecorderTestVideoRenderer, MEDIATYPE_Video);
}
CUnknown* CreateAudio(IUnknown* outer, HRESULT*) {
  return new CountingRenderer(outer, CLSID_RecorderTestAudioRenderer, MEDIATYPE_Audio);
}

const REGPINTYPES kVideoTypes[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_YV12},
                                   {&MEDIATYPE_Video, &MEDIASUBTYPE_I420}};
const REGPINTYPES kAudioTypes[] = {{&MEDIATYPE_Audio, &MEDIASUBTYPE_PCM}};
const REGFILTERPINS kVideoPins[] = {
    {u"In", TRUE, FALSE, FALSE, FALSE, &CLSID_NULL, nullptr, 2, kVideoTypes}};
const REGFILTERPINS kAudioPins[] = {
    {u"In", TRUE, FALSE, FALSE, FALSE, &CLSID_NULL, nullptr, 1, kAudioTypes}};
const AMOVIESETUP_FILTER kVideoSetup = {&CLSID_RecorderTestVideoRenderer,
                                        u"Recorder Test Video Renderer", MERIT_NORMAL, 1,
                                        kVideoPins};
const AMOVIESETUP_FILTER kAudioSetup = {&CLSID_RecorderTestAudioRenderer,
                                        u"Recorder Test Audio Renderer", MERIT_NORMAL, 1,
                                        kAudioPins};
const CFactoryTemplate kTemplates[] = {
    {kVideoSetup.strName, &CLSID_RecorderTestVideoRenderer, CreateVideo, &kVideoSetup},
    {kAudioSetup.strName, &CLSID_RecorderTestAudioRenderer, CreateAudio, &kAudioSetup}};

}  // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  return AMGetClassObject(kTemplates, clsid, riid, ppv);
}

STDAPI DllCanUnloadNow() { return AMCanUnloadNow(); }

STDAPI DllRegisterServer() {
  const HRESULT hr = AMRegisterServer(kTemplates);
  return SUCCEEDED(hr) ? AMRegisterFiltersWithMapper(kTemplates) : hr;
}

STDAPI DllUnregisterServer() {
  AMUnregisterFiltersWithMapper(kTemplates);
  return AMUnregisterServer(kTemplates);
}
