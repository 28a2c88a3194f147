#include "TestKit.h"

#include <cmath>
#include <cstring>

namespace filter_test {

DEFINE_GUID(CLSID_TestVideoSource, 0x7C3F0E51, 0x2B6A, 0x4F0D, 0x8E, 0x11, 0x00, 0x00, 0x00, 0x00,
            0x00, 0x01);
DEFINE_GUID(CLSID_TestAudioSource, 0x7C3F0E51, 0x2B6A, 0x4F0D, 0x8E, 0x11, 0x00, 0x00, 0x00, 0x00,
            0x00, 0x02);
DEFINE_GUID(CLSID_TestCaptureSink, 0x7C3F0E51, 0x2B6A, 0x4F0D, 0x8E, 0x11, 0x00, 0x00, 0x00, 0x00,
            0x00, 0x03);

namespace {

constexpr LONG kSourceBuffers = 4;
constexpr double kToneHz = 440.0;
constexpr double kToneAmplitude = 8000.0;
constexpr int kBytesPerSample = 2;
// Stream time 0 lies this far after RunAll is called, so every filter runs before it.
constexpr REFERENCE_TIME kRunLead = 200000;  // 20 ms

class VideoStream final : public CSourceStream {
 public:
  VideoStream(CSource* filter, HRESULT* phr, const VideoSourceOptions& options)
      : CSourceStream("test video", phr, filter, u"Video"), m_options(options) {}

  HRESULT GetMediaType(CMediaType* mt) override {
    mt->InitMediaType();
    mt->SetType(&MEDIATYPE_Video);
    mt->SetSubtype(&m_options.subtype);
    mt->SetFormatType(&FORMAT_VideoInfo);
    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(mt->AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
    vih->AvgTimePerFrame = m_options.frameDuration;
    vih->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    vih->bmiHeader.biWidth = m_options.width;
    vih->bmiHeader.biHeight = m_options.height;
    vih->bmiHeader.biPlanes = 1;
    vih->bmiHeader.biBitCount = 12;
    vih->bmiHeader.biCompression = m_options.subtype.Data1;
    vih->bmiHeader.biSizeImage = static_cast<DWORD>(PictureSize());
    mt->SetSampleSize(vih->bmiHeader.biSizeImage);
    return S_OK;
  }
  HRESULT DecideBufferSize(IMemAllocator* alloc, ALLOCATOR_PROPERTIES* prop) override {
    prop->cBuffers = kSourceBuffers;
    prop->cbBuffer = static_cast<LONG>(PictureSize());
    ALLOCATOR_PROPERTIES actual{};
    return alloc->SetProperties(prop, &actual);
  }
  using CSourceStream::GetMediaType;

 protected:
  HRESULT FillBuffer(IMediaSample* sample) override {
    if (m_next == m_options.frames) return S_FALSE;
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    YuvPlanes planes = MapPlanarYuv420(m_options.subtype, data, m_options.width, m_options.height);
    (m_options.paint ? m_options.paint : PaintGradient)(planes, m_next);
    sample->SetActualDataLength(static_cast<LONG>(PictureSize()));
    REFERENCE_TIME start = m_next * m_options.frameDuration;
    REFERENCE_TIME stop = start + m_options.frameDuration;
    sample->SetTime(&start, &stop);
    sample->SetSyncPoint(TRUE);
    ++m_next;
    return S_OK;
  }

 private:
  size_t PictureSize() const { return PlanarYuv420Size(m_options.width, m_options.height); }
  const VideoSourceOptions m_options;
  int m_next = 0;  // streaming thread only
};

class AudioStream final : public CSourceStream {
 public:
  AudioStream(CSource* filter, HRESULT* phr, const AudioSourceOptions& options)
      : CSourceStream("test audio", phr, filter, u"Audio"), m_options(options) {}

  HRESULT GetMediaType(CMediaType* mt) override {
    WAVEFORMATEX wfx{};
    wfx.wFormatTag = WAVE_FORMAT_PCM;
    wfx.nChannels = static_cast<WORD>(m_options.channels);
    wfx.nSamplesPerSec = static_cast<DWORD>(m_options.sampleRate);
    wfx.wBitsPerSample = 16;
    wfx.nBlockAlign = static_cast<WORD>(m_options.channels * kBytesPerSample);
    wfx.nAvgBytesPerSec = wfx.nSamplesPerSec * wfx.nBlockAlign;
    mt->InitMediaType();
    mt->SetType(&MEDIATYPE_Audio);
    mt->SetSubtype(&MEDIASUBTYPE_PCM);
    mt->SetFormatType(&FORMAT_WaveFormatEx);
    mt->SetSampleSize(wfx.nBlockAlign);
    mt->SetFormat(reinterpret_cast<const BYTE*>(&wfx), sizeof(wfx));
    return S_OK;
  }
  HRESULT DecideBufferSize(IMemAllocator* alloc, ALLOCATOR_PROPERTIES* prop) override {
    prop->cBuffers = kSourceBuffers;
    prop->cbBuffer = FramesPerBuffer() * m_options.channels * kBytesPerSample;
    ALLOCATOR_PROPERTIES actual{};
    return alloc->SetProperties(prop, &actual);
  }
  using CSourceStream::GetMediaType;

 protected:
  HRESULT FillBuffer(IMediaSample* sample) override {
    if (m_next == m_options.skipFrom) {
      m_next += m_options.skipCount;
      m_frame += static_cast<int64_t>(m_options.skipCount) * FramesPerBuffer();
    }
    if (m_next >= m_options.buffers) return S_FALSE;
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    auto* samples = reinterpret_cast<int16_t*>(data);
    const int frames = FramesPerBuffer();
    for (int i = 0; i < frames; ++i) {
      const double t = double(m_frame + i) / m_options.sampleRate;
      const auto value = int16_t(kToneAmplitude * std::sin(2 * M_PI * kToneHz * t));
      for (int c = 0; c < m_options.channels; ++c) samples[i * m_options.channels + c] = value;
    }
    m_frame += frames;
    sample->SetActualDataLength(frames * m_options.channels * kBytesPerSample);
    REFERENCE_TIME start = m_next * m_options.bufferDuration;
    REFERENCE_TIME stop = start + m_options.bufferDuration;
    sample->SetTime(&start, &stop);
    sample->SetSyncPoint(TRUE);
    ++m_next;
    return S_OK;
  }

 private:
  int FramesPerBuffer() const {
    return static_cast<int>(m_options.bufferDuration * m_options.sampleRate / kUnitsPerSecond);
  }
  const AudioSourceOptions m_options;
  int m_next = 0;       // streaming thread only
  int64_t m_frame = 0;  // streaming thread only
};

}  // namespace

void PaintGradient(YuvPlanes& p, int frame) {
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) p.planes[0][y * p.strides[0] + x] = uint8_t(x + y + frame * 4);
  }
  for (int plane = 1; plane < 3; ++plane) {
    for (int y = 0; y < (p.height + 1) / 2; ++y) {
      std::memset(p.planes[plane] + y * p.strides[plane], 128 + plane * 10 - frame % 20,
                  p.strides[plane]);
    }
  }
}

HRESULT EventGraph::QueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_IMediaEventSink) {
    *ppv = static_cast<IMediaEventSink*>(this);
    return S_OK;
  }
  if (riid == IID_IFilterGraph || riid == IID_IUnknown) {
    *ppv = static_cast<IFilterGraph*>(this);
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

HRESULT EventGraph::Notify(LONG code, LONG_PTR, LONG_PTR) {
  {
    std::lock_guard guard(m_lock);
    m_codes.push_back(code);
  }
  m_arrived.notify_all();
  return S_OK;
}

bool EventGraph::WaitFor(LONG code, int count) {
  std::unique_lock guard(m_lock);
  return m_arrived.wait_for(guard, kWait, [&] {
    return std::count(m_codes.begin(), m_codes.end(), code) >= count;
  });
}

int EventGraph::Count(LONG code) {
  std::lock_guard guard(m_lock);
  return static_cast<int>(std::count(m_codes.begin(), m_codes.end(), code));
}

VideoSource::VideoSource(const VideoSourceOptions& options)
    : CSource("test video source", nullptr, CLSID_TestVideoSource) {
  HRESULT hr = S_OK;
  new VideoStream(this, &hr, options);
}

AudioSource::AudioSource(const AudioSourceOptions& options)
    : CSource("test audio source", nullptr, CLSID_TestAudioSource) {
  HRESULT hr = S_OK;
  new AudioStream(this, &hr, options);
}

CaptureSink::CaptureSink(const GUID& accepted)
    : CBaseRenderer(CLSID_TestCaptureSink, "capture sink", nullptr, nullptr),
      m_accepted(accepted) {}

HRESULT CaptureSink::CheckMediaType(const CMediaType* pmt) {
  if (m_accepted == GUID_NULL || pmt->subtype == m_accepted) return S_OK;
  return VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CaptureSink::DoRenderSample(IMediaSample* pSample) {
  std::lock_guard guard(m_lock);
  if (m_count++ == 0) {
    BYTE* data = nullptr;
    pSample->GetPointer(&data);
    m_first.assign(data, data + pSample->GetActualDataLength());
  }
  return S_OK;
}

int CaptureSink::Count() {
  std::lock_guard guard(m_lock);
  return m_count;
}

std::vector<BYTE> CaptureSink::First() {
  std::lock_guard guard(m_lock);
  return m_first;
}

ComPtr<IBaseFilter> Hold(CUnknown* filter) {
  ComPtr<IBaseFilter> held;
  filter->NonDelegatingQueryInterface(IID_IBaseFilter, held.ReleaseAndGetVoidAddress());
  return held;
}

ComPtr<IPin> PinAt(IBaseFilter* filter, int index) {
  ComPtr<IEnumPins> pins;
  ComPtr<IPin> pin;
  if (FAILED(filter->EnumPins(pins.ReleaseAndGetAddressOf()))) return pin;
  pins->Skip(static_cast<ULONG>(index));
  pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr);
  return pin;
}

HRESULT Connect(IPin* output, IPin* input) {
  if (!output || !input) return E_POINTER;
  return output->Connect(input, nullptr);
}

void RunAll(std::initializer_list<IBaseFilter*> filters, IReferenceClock* clock) {
  for (IBaseFilter* f : filters) f->SetSyncSource(clock);
  for (IBaseFilter* f : filters) f->Pause();
  REFERENCE_TIME start = 0;
  if (clock && SUCCEEDED(clock->GetTime(&start))) start += kRunLead;
  for (IBaseFilter* f : filters) f->Run(start);
}

void StopAll(std::initializer_list<IBaseFilter*> filters) {
  for (IBaseFilter* f : filters) f->Stop();
  for (IBaseFilter* f : filters) {
    f->SetSyncSource(nullptr);
    for (int i = 0;; ++i) {
      ComPtr<IPin> pin = PinAt(f, i);
      if (!pin) break;
      pin->Disconnect();
    }
  }
}

}  // namespace filter_test

#include "DeviceEnumerator.h"
#include "OleInterfaces.h"

namespace filter_test {

namespace {

std::u16string ReadBagText(IPropertyBag* bag, LPCOLESTR property) {
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_BSTR;
  std::u16string text;
  if (SUCCEEDED(bag->Read(property, &value, nullptr)) && value.vt == VT_BSTR && value.bstrVal)
    text = value.bstrVal;
  VariantClear(&value);
  return text;
}

}  // namespace

ComPtr<IBaseFilter> CreateByFriendlyName(const GUID& category, const std::u16string& name) {
  ComPtr<IBaseFilter> filter;
  ComPtr<ICreateDevEnum> devices;
  HRESULT hr = S_OK;
  CUnknown* enumerator = DeviceEnumerator::CreateInstance(nullptr, &hr);
  if (!enumerator) return filter;
  enumerator->NonDelegatingQueryInterface(IID_ICreateDevEnum, devices.ReleaseAndGetVoidAddress());
  ComPtr<IEnumMoniker> monikers;
  if (devices->CreateClassEnumerator(category, monikers.ReleaseAndGetAddressOf(), 0) != S_OK)
    return filter;
  ComPtr<IMoniker> moniker;
  while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    ComPtr<IPropertyBag> bag;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                      bag.ReleaseAndGetVoidAddress())))
      continue;
    if (ReadBagText(bag.Get(), u"FriendlyName") != name) continue;
    CLSID clsid;
    if (FAILED(CLSIDFromString(ReadBagText(bag.Get(), u"CLSID").c_str(), &clsid))) return filter;
    CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                     filter.ReleaseAndGetVoidAddress());
    return filter;
  }
  return filter;
}

}  // namespace filter_test
