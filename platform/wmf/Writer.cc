#include "Writer.h"

#include <algorithm>
#include <cstdio>

#include "EncoderSettings.h"
#include "InputFormats.h"
#include "InputProps.h"
#include "WideString.h"

namespace {

HRESULT HandOutProps(const std::u16string& connection, const OwnedMediaType& type,
                     IWMInputMediaProps** props) {
  *props = InputProps::Create(connection, type).Detach();
  return S_OK;
}

}  // namespace

HRESULT WMCreateWriter(IUnknown*, IWMWriter** writer) {
  if (!writer) return E_POINTER;
  *writer = new Writer();
  return S_OK;
}

HRESULT Writer::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (riid == IID_IUnknown || riid == IID_IWMWriter)
    return GetInterface(static_cast<IWMWriter*>(this), ppv);
  if (riid == IID_IWMWriterAdvanced)
    return GetInterface(static_cast<IWMWriterAdvanced*>(this), ppv);
  if (riid == IID_IWMHeaderInfo) return GetInterface(static_cast<IWMHeaderInfo*>(this), ppv);
  return E_NOINTERFACE;
}

// --- Profile and inputs ---

std::vector<OwnedMediaType> Writer::OfferedTypes(const StreamPlan& stream) {
  std::vector<OwnedMediaType> types;
  if (stream.IsVideo()) {
    const auto* info = stream.media_type.FormatAs<VIDEOINFOHEADER>();
    for (const VideoInputFormat& format : VideoInputFormats())
      types.push_back(VideoInputType(format, info->bmiHeader.biWidth,
                                     std::abs(info->bmiHeader.biHeight), info->AvgTimePerFrame));
  } else {
    const auto* wave = stream.media_type.FormatAs<WAVEFORMATEX>();
    types.push_back(PcmInputType(wave->nSamplesPerSec, wave->nChannels));
  }
  return types;
}

HRESULT Writer::CheckInputType(const StreamPlan& stream, const OwnedMediaType& type) {
  const WM_MEDIA_TYPE& media = type.Get();
  if (stream.IsVideo()) {
    const auto* info = type.FormatAs<VIDEOINFOHEADER>();
    PictureLayout layout;
    if (media.majortype != WMMEDIATYPE_Video || media.formattype != WMFORMAT_VideoInfo || !info)
      return NS_E_INVALID_INPUT_FORMAT;
    return MakePictureLayout(media.subtype, info->bmiHeader, &layout);
  }
  const auto* wave = type.FormatAs<WAVEFORMATEX>();
  if (media.majortype != WMMEDIATYPE_Audio || media.subtype != WMMEDIASUBTYPE_PCM ||
      media.formattype != WMFORMAT_WaveFormatEx || !wave || !IsUsablePcm(*wave))
    return NS_E_INVALID_INPUT_FORMAT;
  return S_OK;
}

HRESULT Writer::SetProfileByID(REFGUID) { return E_NOTIMPL; }

HRESULT Writer::SetProfile(IWMProfile* profile) {
  if (!profile) return E_POINTER;
  std::lock_guard guard(lock_);
  if (output_) return NS_E_INVALID_REQUEST;
  DWORD count = 0;
  if (HRESULT hr = profile->GetStreamCount(&count); FAILED(hr)) return hr;
  if (count == 0) return NS_E_INVALID_STREAM;
  std::vector<StreamPlan> streams(count);
  std::vector<OwnedMediaType> inputs;
  for (DWORD i = 0; i < count; ++i) {
    ComPtr<IWMStreamConfig> config;
    if (HRESULT hr = profile->GetStream(i, config.ReleaseAndGetAddressOf()); FAILED(hr)) return hr;
    if (HRESULT hr = ReadStreamPlan(config, &streams[i]); FAILED(hr)) return hr;
    // A stream the encoders cannot take is refused now rather than at BeginWriting.
    VideoSettings video;
    AudioSettings audio;
    const HRESULT usable = streams[i].IsVideo() ? MakeVideoSettings(streams[i], &video)
                                                : MakeAudioSettings(streams[i], &audio);
    if (FAILED(usable)) return usable;
    inputs.push_back(OfferedTypes(streams[i]).front());
  }
  streams_ = std::move(streams);
  inputs_ = std::move(inputs);
  return S_OK;
}

HRESULT Writer::SetOutputFilename(const WCHAR* filename) {
  if (!filename) return E_POINTER;
  std::lock_guard guard(lock_);
  if (output_) return NS_E_INVALID_REQUEST;
  filename_ = filename;
  return S_OK;
}

HRESULT Writer::GetInputCount(DWORD* inputs) {
  if (!inputs) return E_POINTER;
  std::lock_guard guard(lock_);
  *inputs = static_cast<DWORD>(inputs_.size());
  return S_OK;
}

HRESULT Writer::GetInputProps(DWORD input, IWMInputMediaProps** props) {
  if (!props) return E_POINTER;
  *props = nullptr;
  std::lock_guard guard(lock_);
  if (input >= inputs_.size()) return E_INVALIDARG;
  return HandOutProps(streams_[input].connection, inputs_[input], props);
}

HRESULT Writer::SetInputProps(DWORD input, IWMInputMediaProps* props) {
  if (!props) return E_POINTER;
  OwnedMediaType type;
  if (HRESULT hr = ReadMediaType(props, &type); FAILED(hr)) return hr;
  std::lock_guard guard(lock_);
  if (output_) return NS_E_INVALID_REQUEST;
  if (input >= inputs_.size()) return E_INVALIDARG;
  if (HRESULT hr = CheckInputType(streams_[input], type); FAILED(hr)) return hr;
  inputs_[input] = type;
  return S_OK;
}

HRESULT Writer::GetInputFormatCount(DWORD input, DWORD* formats) {
  if (!formats) return E_POINTER;
  std::lock_guard guard(lock_);
  if (input >= streams_.size()) return E_INVALIDARG;
  *formats = static_cast<DWORD>(OfferedTypes(streams_[input]).size());
  return S_OK;
}

HRESULT Writer::GetInputFormat(DWORD input, DWORD format, IWMInputMediaProps** props) {
  if (!props) return E_POINTER;
  *props = nullptr;
  std::lock_guard guard(lock_);
  if (input >= streams_.size()) return E_INVALIDARG;
  const auto offered = OfferedTypes(streams_[input]);
  if (format >= offered.size()) return E_INVALIDARG;
  return HandOutProps(streams_[input].connection, offered[format], props);
}

// --- Writing ---

HRESULT Writer::BeginWriting() {
  std::lock_guard guard(lock_);
  if (output_) return NS_E_INVALID_REQUEST;
  if (streams_.empty() || filename_.empty()) return NS_E_NOT_CONFIGURED;
  const std::string path = WideToUtf8(filename_);
  auto output = std::make_unique<AsfOutput>();
  const HRESULT hr = output->Open(path, streams_, inputs_, attributes_.FileMetadata());
  if (FAILED(hr)) {
    output.reset();
    std::remove(path.c_str());  // nothing usable was written
    return hr;
  }
  output_ = std::move(output);
  counters_.assign(inputs_.size(), Counters{});
  writer_time_ = 0;
  return S_OK;
}

HRESULT Writer::EndWriting() {
  std::lock_guard guard(lock_);
  if (!output_) return NS_E_INVALID_REQUEST;
  const HRESULT hr = output_->Finish();
  output_.reset();
  return hr;
}

HRESULT Writer::AllocateSample(DWORD size, INSSBuffer** sample) {
  return pool_->Allocate(size, sample);
}

HRESULT Writer::WriteSample(DWORD input, QWORD sample_time, DWORD flags, INSSBuffer* sample) {
  if (!sample) return E_POINTER;
  BYTE* data = nullptr;
  DWORD length = 0;
  if (HRESULT hr = sample->GetBufferAndLength(&data, &length); FAILED(hr)) return hr;
  std::lock_guard guard(lock_);
  if (!output_) return NS_E_INVALID_REQUEST;
  if (input >= inputs_.size()) return E_INVALIDARG;
  // Times before the start arrive as two's-complement negatives; the encoders start at 0.
  const auto time = static_cast<REFERENCE_TIME>(sample_time);
  const HRESULT hr = output_->Write(input, time, flags, data, length, sample);
  if (SUCCEEDED(hr)) {
    counters_[input].samples++;
    counters_[input].bytes += length;
    writer_time_ = std::max(writer_time_, sample_time);
  }
  return hr;
}

HRESULT Writer::Flush() {
  std::lock_guard guard(lock_);
  return output_ ? S_OK : NS_E_INVALID_REQUEST;
}
