#include "RecorderAudioDecoder.h"

#include <cstring>
#include <new>

#include "DebugOutput.h"
#include "RecorderFilterIds.h"
#include "recorder/RecorderMediaTypes.h"

namespace vendor {
namespace {

constexpr WORD kPcmBits = 16;
constexpr WORD kMonoChannels = 1;
constexpr LONG kOutputBuffers = 8;
// One output sample holds the sound of one input block: 40 ms, or a few seconds for odd
// block sizes. Larger blocks are dropped.
constexpr LONG kOutputBufferBytes = 64 * 1024;

bool IsNoAudio(const CMediaType& mt) {
  return *mt.Type() == MEDIATYPE_RecorderNoAudio && *mt.Subtype() == MEDIASUBTYPE_RecorderNoAudio;
}

// The normalised code of a recorder audio type, or nothing.
std::optional<uint32_t> CodecOf(const CMediaType& mt) {
  if (*mt.Type() != MEDIATYPE_RecorderStream || *mt.FormatType() != FORMAT_WaveFormatEx)
    return std::nullopt;
  const auto header = recorder::FileHeaderOfFormat(recorder::ByteSpan(mt.Format(), mt.FormatLength()));
  if (!header) return std::nullopt;
  const uint32_t codec = recorder::NormaliseAudioCodec(header->audioCodec);
  if (!AudioBlockDecoder::DecodingFor(codec)) return std::nullopt;
  // The subtype must be the coding's own, or none for codings that have none.
  const GUID expected = recorder::AudioSubtypeForCodec(codec).value_or(GUID_NULL);
  return *mt.Subtype() == expected ? std::optional<uint32_t>(codec) : std::nullopt;
}

}  // namespace

RecorderAudioDecoder::RecorderAudioDecoder(IUnknown* outer)
    : CTransformFilter(kRecorderAudioDecoderName, outer, CLSID_RecorderAudioDecoder) {}

CUnknown* RecorderAudioDecoder::CreateInstance(IUnknown* outer, HRESULT* phr) {
  auto* filter = new (std::nothrow) RecorderAudioDecoder(outer);
  if (!filter) *phr = E_OUTOFMEMORY;
  return filter;
}

HRESULT RecorderAudioDecoder::CheckInputType(const CMediaType* mtIn) {
  if (!mtIn) return E_POINTER;
  return IsNoAudio(*mtIn) || CodecOf(*mtIn) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT RecorderAudioDecoder::SetMediaType(PIN_DIRECTION direction, const CMediaType* pmt) {
  if (direction != PINDIR_INPUT) return S_OK;
  codec_ = CodecOf(*pmt).value_or(0);
  const AudioDecoding* decoding = AudioBlockDecoder::DecodingFor(codec_);
  // The no-audio stream still offers a plain PCM type, so that it can be rendered.
  sampleRate_ = decoding ? decoding->sampleRate : 8000;
  return S_OK;
}

HRESULT RecorderAudioDecoder::GetMediaType(int position, CMediaType* pMediaType) {
  if (!pMediaType) return E_POINTER;
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  pMediaType->InitMediaType();
  pMediaType->SetType(&MEDIATYPE_Audio);
  pMediaType->SetSubtype(&MEDIASUBTYPE_PCM);
  pMediaType->SetFormatType(&FORMAT_WaveFormatEx);
  WAVEFORMATEX wave{};
  wave.wFormatTag = WAVE_FORMAT_PCM;
  wave.nChannels = kMonoChannels;
  wave.nSamplesPerSec = static_cast<DWORD>(sampleRate_);
  wave.wBitsPerSample = kPcmBits;
  wave.nBlockAlign = static_cast<WORD>(kMonoChannels * kPcmBits / 8);
  wave.nAvgBytesPerSec = wave.nSamplesPerSec * wave.nBlockAlign;
  pMediaType->SetSampleSize(wave.nBlockAlign);
  if (!pMediaType->SetFormat(reinterpret_cast<const BYTE*>(&wave), sizeof wave))
    return E_OUTOFMEMORY;
  return S_OK;
}

HRESULT RecorderAudioDecoder::CheckTransform(const CMediaType* mtIn, const CMediaType* mtOut) {
  if (!mtIn || !mtOut) return E_POINTER;
  if (CheckInputType(mtIn) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
  if (*mtOut->Type() != MEDIATYPE_Audio || *mtOut->Subtype() != MEDIASUBTYPE_PCM ||
      *mtOut->FormatType() != FORMAT_WaveFormatEx || mtOut->FormatLength() < sizeof(WAVEFORMATEX))
    return VFW_E_TYPE_NOT_ACCEPTED;
  WAVEFORMATEX wave;
  std::memcpy(&wave, mtOut->Format(), sizeof wave);
  const bool matches = wave.wFormatTag == WAVE_FORMAT_PCM && wave.nChannels == kMonoChannels &&
                       wave.wBitsPerSample == kPcmBits &&
                       wave.nSamplesPerSec == static_cast<DWORD>(sampleRate_);
  return matches ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT RecorderAudioDecoder::DecideBufferSize(IMemAllocator* pAllocator,
                                               ALLOCATOR_PROPERTIES* pProp) {
  if (!pAllocator || !pProp) return E_POINTER;
  ALLOCATOR_PROPERTIES wanted = *pProp;
  wanted.cBuffers = std::max(wanted.cBuffers, kOutputBuffers);
  wanted.cbBuffer = std::max(wanted.cbBuffer, kOutputBufferBytes);
  wanted.cbAlign = std::max<LONG>(wanted.cbAlign, 1);
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT hr = pAllocator->SetProperties(&wanted, &actual);
  if (FAILED(hr)) return hr;
  return actual.cBuffers >= wanted.cBuffers && actual.cbBuffer >= wanted.cbBuffer ? S_OK : E_FAIL;
}

HRESULT RecorderAudioDecoder::StartStreaming() {
  decoder_.reset();
  if (codec_ == 0) return S_OK;  // no audio: nothing will arrive
  decoder_ = AudioBlockDecoder::Create(codec_);
  return decoder_ ? S_OK : VFW_E_UNSUPPORTED_AUDIO;
}

HRESULT RecorderAudioDecoder::EndFlush() {
  {
    CAutoLock receive(&m_csReceive);
    if (decoder_) decoder_->Reset();
  }
  return CTransformFilter::EndFlush();
}

HRESULT RecorderAudioDecoder::Transform(IMediaSample* pIn, IMediaSample* pOut) {
  BYTE* in = nullptr;
  BYTE* out = nullptr;
  if (!decoder_ || FAILED(pIn->GetPointer(&in)) || FAILED(pOut->GetPointer(&out)))
    return S_FALSE;
  const long length = pIn->GetActualDataLength();
  if (length <= static_cast<long>(recorder::kAudioSamplePrefixSize)) return S_FALSE;
  const recorder::ByteSpan payload(in + recorder::kAudioSamplePrefixSize,
                                   static_cast<size_t>(length) - recorder::kAudioSamplePrefixSize);
  const long decoded = decoder_->Decode(payload, out, static_cast<size_t>(pOut->GetSize()));
  if (decoded <= 0) {
    OutputDebugStringA("Recorder Audio Decoder: dropped an audio block it cannot decode\n");
    return S_FALSE;
  }
  pOut->SetActualDataLength(static_cast<LONG>(decoded));
  return S_OK;
}

}  // namespace vendor
