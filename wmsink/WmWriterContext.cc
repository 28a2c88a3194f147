#include "WmWriterContext.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "DebugOutput.h"

namespace {

constexpr WORD kVideoStreamNumber = 2;
constexpr WORD kAudioStreamNumber = 1;
constexpr DWORD kBufferWindowMs = 3000;
constexpr DWORD kAudioBitRate = 16000;
constexpr LONG kVbrBitRate = 1000000;
constexpr LONGLONG kUnitsPerSecond = 10000000;  // 100 ns units
constexpr DWORD kComplexity = 3;
constexpr DWORD kVideoQuality = 100;
constexpr LONGLONG kMaxKeyFrameSpacing = 2 * kUnitsPerSecond;
constexpr DWORD kAudioSampleRate = 16000;
constexpr WORD kAudioChannels = 1;
constexpr WORD kAudioBitsPerSample = 16;
constexpr DWORD kMaxPropertySize = 8;

constexpr char16_t kVideoStreamName[] = u"Video Stream";
constexpr char16_t kVideoConnection[] = u"Video";
constexpr char16_t kAudioStreamName[] = u"Audio Stream";
constexpr char16_t kAudioConnection[] = u"Audio";
constexpr char16_t kComplexity_[] = u"_COMPLEXITYEX";
constexpr char16_t kVbrEnabled[] = u"_VBRENABLED";
constexpr char16_t kVbrQuality[] = u"_VBRQUALITY";
constexpr char16_t kPeakRate[] = u"_RMAX";
constexpr char16_t kPeakBuffer[] = u"_BMAX";

constexpr char kNoVersion9[] = "Windows Media Video 9 codec is not available!";
constexpr char kNoVersion8[] = "Windows Media Video 8 codec is not available!";

void SetDword(IWMPropertyVault* vault, const char16_t* name, WMT_ATTR_DATATYPE type,
              DWORD value) {
  vault->SetProperty(name, type, reinterpret_cast<BYTE*>(&value), sizeof value);
}

// The connection name of an input or a stream; empty if it cannot be read.
template <typename Named>
std::u16string ConnectionName(Named* named) {
  WORD chars = 0;
  if (FAILED(named->GetConnectionName(nullptr, &chars)) || chars == 0) return {};
  std::u16string name(chars, u'\0');
  if (FAILED(named->GetConnectionName(name.data(), &chars))) return {};
  name.resize(std::char_traits<char16_t>::length(name.c_str()));
  return name;
}

}  // namespace

void WmWriterContext::Build(const WmSinkConfig& config) {
  width_ = config.width;
  height_ = config.height;
  frame_rate_ = config.frameRate;
  bit_rate_ = config.bitRate;
  audio_enabled_ = config.audioEnabled != 0;
  constant_bit_rate_ = config.constantBitRate != 0;
  if (FAILED(CreateWriter())) return;
  if (FAILED(profile_status_ = BuildProfile())) return;
  if (FAILED(writer_->SetProfile(profile_))) return;
  MapInputs();
}

HRESULT WmWriterContext::CreateWriter() {
  header_info_.Reset();
  writer_advanced_.Reset();
  writer_.Reset();
  // A frame rate of 0 leaves no frame time to compute: such parameters get no writer.
  if (frame_rate_ <= 0) return E_INVALIDARG;
  if (HRESULT hr = WMCreateWriter(nullptr, writer_.ReleaseAndGetAddressOf()); FAILED(hr))
    return hr;
  if (FAILED(writer_.As(writer_advanced_)) || FAILED(writer_.As(header_info_))) {
    header_info_.Reset();
    writer_advanced_.Reset();
    writer_.Reset();
    return E_NOINTERFACE;
  }
  return S_OK;
}

HRESULT WmWriterContext::BuildProfile() {
  profile_.Reset();
  if (!profile_manager_) {
    if (HRESULT hr = WMCreateProfileManager(profile_manager_.ReleaseAndGetAddressOf());
        FAILED(hr))
      return hr;
  }
  if (FAILED(profile_manager_->CreateEmptyProfile(WMT_VER_9_0, profile_.ReleaseAndGetAddressOf()))) {
    if (HRESULT hr =
            profile_manager_->CreateEmptyProfile(WMT_VER_8_0, profile_.ReleaseAndGetAddressOf());
        FAILED(hr))
      return hr;
  }
  if (HRESULT hr = AddVideoStream(); FAILED(hr)) return hr;
  return audio_enabled_ ? AddAudioStream() : S_OK;
}

void WmWriterContext::AdjustVideoFormat(VIDEOINFOHEADER* info) {
  info->AvgTimePerFrame = static_cast<LONGLONG>(static_cast<LONG>(kUnitsPerSecond / frame_rate_));
  if (!constant_bit_rate_) {
    vbr_quality_ = bit_rate_;
    bit_rate_ = kVbrBitRate;
  }
  info->dwBitRate = static_cast<DWORD>(bit_rate_);
  info->bmiHeader.biWidth = width_;
  info->bmiHeader.biHeight = height_;
}

void WmWriterContext::SetEncoderProperties(IWMStreamConfig* stream) {
  ComPtr<IWMPropertyVault> vault;
  if (FAILED(ComPtr<IWMStreamConfig>(stream).As(vault))) return;
  WMT_ATTR_DATATYPE type = WMT_TYPE_DWORD;
  DWORD size = 0;
  if (FAILED(vault->GetPropertyByName(kComplexity_, &type, nullptr, &size)) || size == 0 ||
      size > kMaxPropertySize)
    size = sizeof(WORD);
  BYTE complexity[kMaxPropertySize] = {};
  std::memcpy(complexity, &kComplexity, std::min<size_t>(size, sizeof kComplexity));
  vault->SetProperty(kComplexity_, WMT_TYPE_WORD, complexity, size);
  if (constant_bit_rate_) return;
  SetDword(vault, kVbrEnabled, WMT_TYPE_BOOL, TRUE);
  SetDword(vault, kVbrQuality, WMT_TYPE_DWORD, static_cast<DWORD>(vbr_quality_));
  SetDword(vault, kPeakRate, WMT_TYPE_DWORD, 0);
  SetDword(vault, kPeakBuffer, WMT_TYPE_DWORD, 0);
}

HRESULT WmWriterContext::AddVideoStream() {
  ComPtr<IWMStreamConfig> stream;
  if (HRESULT hr = profile_->CreateNewStream(WMMEDIATYPE_Video, stream.ReleaseAndGetAddressOf());
      FAILED(hr))
    return hr;
  ComPtr<IWMMediaProps> props;
  if (HRESULT hr = stream.As(props); FAILED(hr)) return hr;
  MediaTypeBlock found;
  if (!FindCodecFormat(WMMEDIATYPE_Video, WMMEDIASUBTYPE_WMV3, nullptr, &found)) {
    OutputDebugStringA(kNoVersion9);
    if (!FindCodecFormat(WMMEDIATYPE_Video, WMMEDIASUBTYPE_WMV2, nullptr, &found)) {
      OutputDebugStringA(kNoVersion8);
      return E_FAIL;
    }
  }
  VIDEOINFOHEADER* info = found.FormatAs<VIDEOINFOHEADER>();
  if (!info) return E_FAIL;
  AdjustVideoFormat(info);
  SetEncoderProperties(stream);
  ComPtr<IWMVideoMediaProps> video;
  if (SUCCEEDED(stream.As(video))) {
    video->SetQuality(kVideoQuality);
    video->SetMaxKeyFrameSpacing(kMaxKeyFrameSpacing);
  }
  if (HRESULT hr = props->SetMediaType(found.Type()); FAILED(hr)) return hr;
  stream->SetStreamName(kVideoStreamName);
  stream->SetConnectionName(kVideoConnection);
  stream->SetBitrate(static_cast<DWORD>(bit_rate_));
  stream->SetBufferWindow(kBufferWindowMs);
  stream->SetStreamNumber(kVideoStreamNumber);
  return profile_->AddStream(stream);
}

HRESULT WmWriterContext::AddAudioStream() {
  ComPtr<IWMStreamConfig> stream;
  if (HRESULT hr = profile_->CreateNewStream(WMMEDIATYPE_Audio, stream.ReleaseAndGetAddressOf());
      FAILED(hr))
    return hr;
  ComPtr<IWMMediaProps> props;
  if (HRESULT hr = stream.As(props); FAILED(hr)) return hr;
  WAVEFORMATEX wanted{};
  wanted.nSamplesPerSec = kAudioSampleRate;
  wanted.nChannels = kAudioChannels;
  wanted.wBitsPerSample = kAudioBitsPerSample;
  MediaTypeBlock found;
  if (!FindCodecFormat(WMMEDIATYPE_Audio, WMMEDIASUBTYPE_WMAudioV8, &wanted, &found))
    return E_FAIL;
  props->SetMediaType(found.Type());
  stream->SetStreamName(kAudioStreamName);
  stream->SetConnectionName(kAudioConnection);
  stream->SetBitrate(kAudioBitRate);
  stream->SetBufferWindow(kBufferWindowMs);
  stream->SetStreamNumber(kAudioStreamNumber);
  return profile_->AddStream(stream);
}

bool WmWriterContext::FindCodecFormat(REFGUID major_type, REFGUID subtype,
                                      const WAVEFORMATEX* wanted, MediaTypeBlock* found) {
  ComPtr<IWMCodecInfo> info;
  if (FAILED(profile_manager_.As(info))) return false;
  DWORD codecs = 0;
  if (FAILED(info->GetCodecInfoCount(major_type, &codecs))) return false;
  for (DWORD i = 0; i < codecs; ++i) {
    DWORD formats = 0;
    if (FAILED(info->GetCodecFormatCount(major_type, i, &formats))) return false;
    if (formats == 0) continue;
    ComPtr<IWMStreamConfig> config;
    ComPtr<IWMMediaProps> props;
    MediaTypeBlock first;
    if (FAILED(info->GetCodecFormat(major_type, i, 0, config.ReleaseAndGetAddressOf())) ||
        FAILED(config.As(props)) || FAILED(first.ReadFrom(props)) ||
        first.Type()->subtype != subtype)
      continue;
    if (major_type != WMMEDIATYPE_Audio) {
      *found = std::move(first);
      return true;
    }
    if (wanted && FindAudioFormat(info, i, formats, *wanted, found)) return true;
  }
  return false;
}

bool WmWriterContext::FindAudioFormat(IWMCodecInfo* info, DWORD codec, DWORD formats,
                                      const WAVEFORMATEX& wanted, MediaTypeBlock* found) {
  for (DWORD j = 0; j < formats; ++j) {
    ComPtr<IWMStreamConfig> config;
    ComPtr<IWMMediaProps> props;
    MediaTypeBlock candidate;
    if (FAILED(info->GetCodecFormat(WMMEDIATYPE_Audio, codec, j, config.ReleaseAndGetAddressOf())) ||
        FAILED(config.As(props)) || FAILED(candidate.ReadFrom(props)))
      continue;
    const WAVEFORMATEX* wave = candidate.FormatAs<WAVEFORMATEX>();
    if (wave && wave->nSamplesPerSec == wanted.nSamplesPerSec &&
        wave->nChannels == wanted.nChannels && wave->wBitsPerSample == wanted.wBitsPerSample &&
        wave->nAvgBytesPerSec >= wanted.nAvgBytesPerSec) {
      *found = std::move(candidate);
      return true;
    }
  }
  return false;
}

void WmWriterContext::MapInputs() {
  DWORD inputs = 0;
  DWORD streams = 0;
  if (FAILED(writer_->GetInputCount(&inputs)) || FAILED(profile_->GetStreamCount(&streams)))
    return;
  for (DWORD i = 0; i < inputs; ++i) {
    ComPtr<IWMInputMediaProps> input;
    if (FAILED(writer_->GetInputProps(i, input.ReleaseAndGetAddressOf()))) continue;
    const std::u16string input_name = ConnectionName(input.Get());
    for (DWORD s = 0; s < streams; ++s) {
      ComPtr<IWMStreamConfig> stream;
      if (FAILED(profile_->GetStream(s, stream.ReleaseAndGetAddressOf())) ||
          ConnectionName(stream.Get()) != input_name)
        continue;
      GUID type{};
      stream->GetStreamType(&type);
      if (type == WMMEDIATYPE_Audio) audio_input_ = i;
      if (type == WMMEDIATYPE_Video) video_input_ = i;
      break;
    }
  }
}
