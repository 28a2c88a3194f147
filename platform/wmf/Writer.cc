#include "Writer.h"

#include <algorithm>
#include <cstdio>

#include "EncoderSettings.h"
#include "InputFormats.h"
#include "InputProps.h"
#include "WideString.h"
#include "WideText.h"

namespace {

// Attribute names that have a place of their own in the file header, and the generic
// metadata names the muxer files them under.
struct AttributeKey {
  std::u16string_view attribute;
  const char* metadata;
};
constexpr AttributeKey kAttributeKeys[] = {
    {u"Title", "title"},         {u"Author", "author"}, {u"Copyright", "copyright"},
    {u"Description", "comment"}, {u"Rating", "rating"},
};
constexpr const char* kTitleKey = "title";
constexpr const char* kDescriptionKey = "comment";
constexpr WORD kFileAttributes = 0;  // attributes of stream 0 describe the whole file

std::string MetadataKey(const std::u16string& name) {
  for (const AttributeKey& key : kAttributeKeys)
    if (key.attribute == name) return key.metadata;
  return WideToUtf8(name);
}

// A string attribute's text: UTF-16 of `length` bytes, up to its first null.
std::string AttributeText(const std::vector<BYTE>& value) {
  std::u16string text(value.size() / sizeof(char16_t), u'\0');
  for (size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<char16_t>(value[2 * i] | value[2 * i + 1] << 8);
  text.resize(std::min(text.size(), text.find(u'\0')));
  return WideToUtf8(text);
}

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

const Writer::Attribute* Writer::FindAttribute(WORD stream, std::u16string_view name) const {
  for (const Attribute& a : attributes_)
    if (a.stream == stream && a.name == name) return &a;
  return nullptr;
}

AsfMuxer::Metadata Writer::FileMetadata() const {
  AsfMuxer::Metadata metadata;
  for (const Attribute& a : attributes_)
    if (a.stream == kFileAttributes && a.type == WMT_TYPE_STRING)
      metadata.emplace_back(MetadataKey(a.name), AttributeText(a.value));
  // The header mend needs the content description object, which the muxer writes only
  // when one of its own fields is set.
  const auto has = [&](const char* key) {
    return std::any_of(metadata.begin(), metadata.end(),
                       [key](const auto& entry) { return entry.first == key; });
  };
  const bool has_content_field = std::any_of(
      std::begin(kAttributeKeys), std::end(kAttributeKeys),
      [&](const AttributeKey& k) { return k.metadata != kDescriptionKey && has(k.metadata); });
  if (has(kDescriptionKey) && !has_content_field) metadata.emplace_back(kTitleKey, "");
  return metadata;
}

HRESULT Writer::BeginWriting() {
  std::lock_guard guard(lock_);
  if (output_) return NS_E_INVALID_REQUEST;
  if (streams_.empty() || filename_.empty()) return NS_E_NOT_CONFIGURED;
  const std::string path = WideToUtf8(filename_);
  auto output = std::make_unique<AsfOutput>();
  if (HRESULT hr = output->Open(path, streams_, inputs_, FileMetadata()); FAILED(hr)) {
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
  const HRESULT hr = output_->Write(input, time, flags, data, length);
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

// --- IWMWriterAdvanced ---

HRESULT Writer::GetSinkCount(DWORD* sinks) {
  if (!sinks) return E_POINTER;
  *sinks = 0;
  return S_OK;
}

HRESULT Writer::GetSink(DWORD, IWMWriterSink** sink) {
  if (!sink) return E_POINTER;
  *sink = nullptr;
  return E_INVALIDARG;
}

HRESULT Writer::AddSink(IWMWriterSink*) { return E_NOTIMPL; }
HRESULT Writer::RemoveSink(IWMWriterSink*) { return E_INVALIDARG; }
HRESULT Writer::RemoveAllSinks() { return S_OK; }

HRESULT Writer::WriteStreamSample(WORD, QWORD, DWORD, QWORD, DWORD, INSSBuffer*) {
  return E_NOTIMPL;  // only uncompressed input is taken
}

HRESULT Writer::SetLiveSource(BOOL live) {
  std::lock_guard guard(lock_);
  live_ = live;
  return S_OK;
}

HRESULT Writer::IsRealTime(BOOL* real_time) {
  if (!real_time) return E_POINTER;
  *real_time = FALSE;
  return S_OK;
}

HRESULT Writer::GetWriterTime(QWORD* time) {
  if (!time) return E_POINTER;
  std::lock_guard guard(lock_);
  *time = writer_time_;
  return S_OK;
}

HRESULT Writer::GetStatistics(WORD stream, WM_WRITER_STATISTICS* statistics) {
  if (!statistics) return E_POINTER;
  std::lock_guard guard(lock_);
  *statistics = WM_WRITER_STATISTICS{};
  bool found = stream == 0;
  for (size_t i = 0; i < counters_.size(); ++i) {
    if (stream != 0 && streams_[i].number != stream) continue;
    found = true;
    statistics->qwSampleCount += counters_[i].samples;
    statistics->qwByteCount += counters_[i].bytes;
    statistics->dwExpectedBitrate += streams_[i].bitrate;
  }
  return found ? S_OK : NS_E_INVALID_STREAM;
}

HRESULT Writer::SetSyncTolerance(DWORD milliseconds) {
  std::lock_guard guard(lock_);
  sync_tolerance_ = milliseconds;
  return S_OK;
}

HRESULT Writer::GetSyncTolerance(DWORD* milliseconds) {
  if (!milliseconds) return E_POINTER;
  std::lock_guard guard(lock_);
  *milliseconds = sync_tolerance_;
  return S_OK;
}

// --- IWMHeaderInfo ---

HRESULT Writer::GetAttributeCount(WORD stream, WORD* attributes) {
  if (!attributes) return E_POINTER;
  std::lock_guard guard(lock_);
  *attributes = static_cast<WORD>(std::count_if(attributes_.begin(), attributes_.end(),
                                                [stream](const Attribute& a) {
                                                  return a.stream == stream;
                                                }));
  return S_OK;
}

namespace {

HRESULT CopyValueOut(const std::vector<BYTE>& value, BYTE* out, WORD* length) {
  if (!length) return E_POINTER;
  const WORD available = *length;
  *length = static_cast<WORD>(value.size());
  if (!out) return S_OK;
  if (available < value.size()) return ASF_E_BUFFERTOOSMALL;
  std::copy(value.begin(), value.end(), out);
  return S_OK;
}

}  // namespace

HRESULT Writer::GetAttributeByIndex(WORD index, WORD* stream, WCHAR* name, WORD* name_chars,
                                    WMT_ATTR_DATATYPE* type, BYTE* value, WORD* length) {
  if (!stream || !type) return E_POINTER;
  std::lock_guard guard(lock_);
  WORD seen = 0;
  for (const Attribute& a : attributes_) {
    if (a.stream != *stream || seen++ != index) continue;
    if (HRESULT hr = CopyWideOut(a.name, name, name_chars); FAILED(hr)) return hr;
    *type = a.type;
    return CopyValueOut(a.value, value, length);
  }
  return E_INVALIDARG;
}

HRESULT Writer::GetAttributeByName(WORD* stream, LPCWSTR name, WMT_ATTR_DATATYPE* type,
                                   BYTE* value, WORD* length) {
  if (!stream || !name || !type) return E_POINTER;
  std::lock_guard guard(lock_);
  const Attribute* found = FindAttribute(*stream, name);
  if (!found) return NS_E_UNSUPPORTED_PROPERTY;
  *type = found->type;
  return CopyValueOut(found->value, value, length);
}

HRESULT Writer::SetAttribute(WORD stream, LPCWSTR name, WMT_ATTR_DATATYPE type,
                             const BYTE* value, WORD length) {
  if (!name || (!value && length > 0)) return E_POINTER;
  if (!*name || type > WMT_TYPE_GUID) return E_INVALIDARG;
  std::lock_guard guard(lock_);
  std::vector<BYTE> bytes(value, value + length);
  for (Attribute& a : attributes_) {
    if (a.stream == stream && a.name == name) {
      a.type = type;
      a.value = std::move(bytes);
      return S_OK;
    }
  }
  attributes_.push_back(Attribute{stream, name, type, std::move(bytes)});
  return S_OK;
}

HRESULT Writer::GetMarkerCount(WORD* markers) {
  if (!markers) return E_POINTER;
  *markers = 0;
  return S_OK;
}

HRESULT Writer::GetMarker(WORD, WCHAR*, WORD*, QWORD*) { return E_INVALIDARG; }
HRESULT Writer::AddMarker(LPCWSTR, QWORD) { return E_NOTIMPL; }
HRESULT Writer::RemoveMarker(WORD) { return E_INVALIDARG; }

HRESULT Writer::GetScriptCount(WORD* scripts) {
  if (!scripts) return E_POINTER;
  *scripts = 0;
  return S_OK;
}

HRESULT Writer::GetScript(WORD, WCHAR*, WORD*, WCHAR*, WORD*, QWORD*) { return E_INVALIDARG; }
HRESULT Writer::AddScript(LPCWSTR, LPCWSTR, QWORD) { return E_NOTIMPL; }
HRESULT Writer::RemoveScript(WORD) { return E_INVALIDARG; }
