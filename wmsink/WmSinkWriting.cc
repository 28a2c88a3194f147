// The writing side of the writer context: input configuration, start and stop, samples.
#include <algorithm>
#include <cstring>

#include "DShowErrors.h"
#include "WmWriterContext.h"

namespace {

constexpr char16_t kTitleAttribute[] = u"Title";
constexpr char16_t kTitle[] = u"ASF Clip";
constexpr char16_t kDescriptionAttribute[] = u"Description";
constexpr char16_t kDescription[] = u"Powered by Nivel Labs @_@";
// How much of a connection's format block describes the picture or the sound.
constexpr ULONG kVideoFormatHead = sizeof(VIDEOINFOHEADER);
constexpr ULONG kAudioFormatHead = sizeof(WAVEFORMATEX) + 2;

void SetText(IWMHeaderInfo* header, const char16_t* name, const char16_t* text) {
  const size_t chars = std::char_traits<char16_t>::length(text);
  header->SetAttribute(0, name, WMT_TYPE_STRING, reinterpret_cast<const BYTE*>(text),
                       static_cast<WORD>(chars * sizeof(char16_t)));
}

}  // namespace

void WmWriterContext::Configure(const WmSinkConfig& config) {
  std::lock_guard guard(lock_);
  Build(config);
}

void WmWriterContext::SetFileName(const std::u16string& name) {
  std::lock_guard guard(lock_);
  file_name_ = name;
}

std::u16string WmWriterContext::FileName() {
  std::lock_guard guard(lock_);
  return file_name_;
}

HRESULT WmWriterContext::ConfigureInput(SinkInput input, const GUID& subtype, const BYTE* format,
                                        ULONG format_size) {
  std::lock_guard guard(lock_);
  if (!writer_ || !profile_) return E_FAIL;
  const DWORD number = input == SinkInput::kVideo ? video_input_ : audio_input_;
  DWORD formats = 0;
  if (HRESULT hr = writer_->GetInputFormatCount(number, &formats); FAILED(hr)) return hr;
  for (DWORD i = 0; i < formats; ++i) {
    ComPtr<IWMInputMediaProps> props;
    MediaTypeBlock type;
    if (FAILED(writer_->GetInputFormat(number, i, props.ReleaseAndGetAddressOf())) ||
        FAILED(type.ReadFrom(props)) || type.Type()->subtype != subtype)
      continue;
    // Never read past the connection's block nor write past the writer's.
    const ULONG head = input == SinkInput::kVideo ? kVideoFormatHead : kAudioFormatHead;
    const ULONG bytes = std::min({head, format ? format_size : 0, type.Type()->cbFormat});
    if (bytes > 0) std::memcpy(type.Type()->pbFormat, format, bytes);
    if (HRESULT hr = props->SetMediaType(type.Type()); FAILED(hr)) return hr;
    return writer_->SetInputProps(number, props);
  }
  return NS_E_INVALID_INPUT_FORMAT;
}

HRESULT WmWriterContext::StartWriting() {
  std::lock_guard guard(lock_);
  audio_time_ = 0;
  video_time_ = 0;
  if (!writer_ || !header_info_) return E_FAIL;
  if (HRESULT hr = writer_->SetOutputFilename(file_name_.c_str()); FAILED(hr)) return hr;
  SetText(header_info_, kTitleAttribute, kTitle);
  SetText(header_info_, kDescriptionAttribute, kDescription);
  const HRESULT hr = writer_->BeginWriting();
  writing_ = SUCCEEDED(hr);
  return hr;
}

HRESULT WmWriterContext::StopWriting() {
  std::lock_guard guard(lock_);
  if (!writer_ || !writing_) return S_OK;
  writing_ = false;
  return writer_->EndWriting();
}

HRESULT WmWriterContext::FillBuffer(const BYTE* data, LONG length,
                                    ComPtr<INSSBuffer>* buffer) {
  if (!writer_) return E_UNEXPECTED;
  if (length < 0 || (!data && length > 0)) return E_INVALIDARG;
  if (HRESULT hr = writer_->AllocateSample(static_cast<DWORD>(length),
                                           buffer->ReleaseAndGetAddressOf());
      FAILED(hr))
    return hr;
  BYTE* target = nullptr;
  if (HRESULT hr = (*buffer)->GetBuffer(&target); FAILED(hr)) return hr;
  if (length > 0) std::memcpy(target, data, static_cast<size_t>(length));
  return (*buffer)->SetLength(static_cast<DWORD>(length));
}

HRESULT WmWriterContext::WriteVideo(const BYTE* data, LONG length, REFERENCE_TIME start,
                                    DWORD flags) {
  std::lock_guard guard(lock_);
  if (!writing_) return VFW_E_WRONG_STATE;
  ComPtr<INSSBuffer> buffer;
  if (HRESULT hr = FillBuffer(data, length, &buffer); FAILED(hr)) return hr;
  return WriteVideoLocked(buffer.Get(), start, flags);
}

HRESULT WmWriterContext::WriteVideoBuffer(INSSBuffer* buffer, REFERENCE_TIME start, DWORD flags) {
  if (!buffer) return E_POINTER;
  std::lock_guard guard(lock_);
  if (!writing_) return VFW_E_WRONG_STATE;
  return WriteVideoLocked(buffer, start, flags);
}

HRESULT WmWriterContext::WriteVideoLocked(INSSBuffer* buffer, REFERENCE_TIME start, DWORD flags) {
  video_time_ = start;
  const HRESULT hr = writer_->WriteSample(video_input_, static_cast<QWORD>(start), flags, buffer);
  ++written_frames_;
  return hr;
}

HRESULT WmWriterContext::WriteAudio(const BYTE* data, LONG length, REFERENCE_TIME duration,
                                    DWORD flags) {
  std::lock_guard guard(lock_);
  if (!writing_) return VFW_E_WRONG_STATE;
  ComPtr<INSSBuffer> buffer;
  if (HRESULT hr = FillBuffer(data, length, &buffer); FAILED(hr)) return hr;
  const HRESULT hr =
      writer_->WriteSample(audio_input_, static_cast<QWORD>(audio_time_.load()), flags, buffer);
  audio_time_ += duration;
  return hr;
}
