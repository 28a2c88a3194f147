#include "SourcePin.h"

#include <algorithm>

#include "RecorderFileSource.h"
#include "recorder/RecorderMediaTypes.h"

namespace vendor {
namespace {

// Buffers per output: what a decoder and renderer downstream may hold at once.
constexpr LONG kBufferCount = 5;
// The smallest buffers handed out, so that a later file of the same stream fits as well.
constexpr size_t kMinVideoBuffer = 64 * 1024;
constexpr size_t kMinAudioBuffer = 1024;

bool BuildVideoType(const FileIndex& index, CMediaType& mt) {
  const recorder::FileHeader& header = index.Header();
  mt.InitMediaType();
  mt.SetType(&MEDIATYPE_RecorderStream);
  const GUID subtype = recorder::VideoSubtypeForMagic(header.magic).value_or(GUID_NULL);
  mt.SetSubtype(&subtype);
  mt.SetFormatType(&FORMAT_VideoInfo);
  mt.SetVariableSize();
  mt.SetTemporalCompression(TRUE);
  const REFERENCE_TIME frameTime = index.FirstFrameDuration();
  const auto format = recorder::BuildVideoFormat(
      header, frameTime > 0 ? frameTime : recorder::kVideoFormatFrameTime);
  return mt.SetFormat(format.data(), static_cast<ULONG>(format.size()));
}

bool BuildAudioType(const recorder::FileHeader& header, CMediaType& mt) {
  mt.InitMediaType();
  if (header.systemType == recorder::kSystemVideo) {
    mt.SetType(&MEDIATYPE_RecorderNoAudio);
    mt.SetSubtype(&MEDIASUBTYPE_RecorderNoAudio);
    mt.SetFormatType(&FORMAT_WaveFormatEx);
    return true;
  }
  mt.SetType(&MEDIATYPE_RecorderStream);
  const uint32_t codec = recorder::NormaliseAudioCodec(header.audioCodec);
  const GUID subtype = recorder::AudioSubtypeForCodec(codec).value_or(GUID_NULL);
  mt.SetSubtype(&subtype);
  mt.SetFormatType(&FORMAT_WaveFormatEx);
  mt.SetSampleSize(recorder::kRecorderAudioSampleSize);
  mt.SetTemporalCompression(TRUE);
  const auto format = recorder::BuildAudioFormat(header);
  return mt.SetFormat(format.data(), static_cast<ULONG>(format.size()));
}

}  // namespace

SourcePin::SourcePin(RecorderFileSource* filter, CCritSec* lock, HRESULT* phr, PinKind kind)
    : CBaseOutputPin(kind == PinKind::Video ? "Recorder video output" : "Recorder audio output",
                     filter, lock, phr, kind == PinKind::Video ? u"Video" : u"Audio"),
      source_(filter),
      kind_(kind) {}

HRESULT SourcePin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_IMediaSeeking) return source_->NonDelegatingQueryInterface(riid, ppv);
  return CBaseOutputPin::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT SourcePin::GetMediaType(int position, CMediaType* pmt) {
  if (!pmt) return E_POINTER;
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  const FileIndex& index = source_->Index();
  const bool built =
      kind_ == PinKind::Video ? BuildVideoType(index, *pmt) : BuildAudioType(index.Header(), *pmt);
  return built ? S_OK : E_OUTOFMEMORY;
}

HRESULT SourcePin::CheckMediaType(const CMediaType* pmt) {
  if (!pmt) return E_FAIL;
  if (kind_ == PinKind::Video) {
    return *pmt->Type() == MEDIATYPE_RecorderStream && recorder::IsRecorderVideoSubtype(*pmt->Subtype()) ? S_OK
                                                                                       : E_FAIL;
  }
  if (*pmt->Type() == MEDIATYPE_RecorderNoAudio)
    return *pmt->Subtype() == MEDIASUBTYPE_RecorderNoAudio ? S_OK : E_FAIL;
  if (*pmt->Type() != MEDIATYPE_RecorderStream) return E_FAIL;
  if (recorder::IsRecorderAudioSubtype(*pmt->Subtype())) return S_OK;
  // A coding without a subtype of its own (ADPCM) is still offered and taken as it stands.
  CMediaType offered;
  if (GetMediaType(0, &offered) != S_OK) return E_FAIL;
  return *offered.Type() == *pmt->Type() && *offered.Subtype() == *pmt->Subtype() ? S_OK : E_FAIL;
}

HRESULT SourcePin::DecideBufferSize(IMemAllocator* alloc, ALLOCATOR_PROPERTIES* request) {
  if (!alloc || !request) return E_POINTER;
  const FileIndex& index = source_->Index();
  const size_t needed =
      kind_ == PinKind::Video
          ? std::max(kMinVideoBuffer, recorder::kVideoSamplePrefixSize + index.LargestGroupVideo())
          : std::max(kMinAudioBuffer,
                     recorder::kAudioSamplePrefixSize + index.LargestAudioPayload());
  if (needed > static_cast<size_t>(INT32_MAX)) return E_OUTOFMEMORY;
  ALLOCATOR_PROPERTIES wanted = *request;
  wanted.cBuffers = std::max(wanted.cBuffers, kBufferCount);
  wanted.cbBuffer = std::max(wanted.cbBuffer, static_cast<LONG>(needed));
  wanted.cbAlign = std::max<LONG>(wanted.cbAlign, 1);
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT hr = alloc->SetProperties(&wanted, &actual);
  if (FAILED(hr)) return hr;
  return actual.cBuffers >= wanted.cBuffers && actual.cbBuffer >= wanted.cbBuffer ? S_OK : E_FAIL;
}

}  // namespace vendor
