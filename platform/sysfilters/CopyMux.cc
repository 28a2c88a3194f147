#include "CopyMux.h"

#include <algorithm>
#include <new>

#include "CopyMuxIds.h"
#include "CopyMuxPins.h"
#include "DebugOutput.h"
#include "recorder/RecorderMediaTypes.h"

extern "C" {
#include <libavutil/mathematics.h>
}

namespace {

constexpr int64_t kUnitsPerSecond = 10'000'000;
// Sound held back while waiting for the first key frame: a minute of recorder blocks at most;
// older blocks are dropped (they would fall before the key frame anyway).
constexpr size_t kMaxPendingPackets = 1500;

int64_t ToRate(REFERENCE_TIME time, int rate) { return av_rescale(time, rate, kUnitsPerSecond); }

constexpr char16_t kOutputName[] = u"Out";
const MuxOutputInfo kOutput{"Copy mux output", kOutputName, &GUID_NULL};

}  // namespace

CopyMux::CopyMux(IUnknown* outer, CopyContainer container)
    : MuxFilter(container == CopyContainer::Mp4 ? "MP4 Mux" : "Matroska Mux", outer,
                container == CopyContainer::Mp4 ? CLSID_Mp4Mux : CLSID_MatroskaMux, kOutput),
      m_container(container) {
  HRESULT hr = S_OK;
  m_pVideo = new (std::nothrow) CopyMuxInputPin(this, &m_lock, &hr, CopyPinKind::Video);
  if (!AddInput(m_pVideo)) return;
  m_pAudio = new (std::nothrow) CopyMuxInputPin(this, &m_lock, &hr, CopyPinKind::Audio);
  AddInput(m_pAudio);
}

namespace {
CUnknown* Create(IUnknown* outer, HRESULT* phr, CopyContainer container) {
  auto* mux = new (std::nothrow) CopyMux(outer, container);
  if (mux && !mux->HasPins(2)) *phr = E_OUTOFMEMORY;
  return mux;
}
}  // namespace

CUnknown* CopyMux::CreateMp4(IUnknown* outer, HRESULT* phr) {
  return Create(outer, phr, CopyContainer::Mp4);
}

CUnknown* CopyMux::CreateMatroska(IUnknown* outer, HRESULT* phr) {
  return Create(outer, phr, CopyContainer::Matroska);
}

HRESULT CopyMux::PrepareLocked() {
  m_writer.Reset();
  m_video = InputState{};
  m_audio = InputState{};
  m_origin = -1;
  m_audioStart = -1;
  m_pending.clear();
  m_video.connected = SUCCEEDED(m_pVideo->Describe(m_video.format));
  m_audio.connected = SUCCEEDED(m_pAudio->Describe(m_audio.format));
  if (!m_video.connected && !m_audio.connected) return VFW_E_NOT_CONNECTED;
  if (m_audio.connected && m_audio.format.input == CopyInput::Pcm)
    return m_aac.Open(m_audio.format.sampleRate, m_audio.format.channels);
  return S_OK;
}

void CopyMux::ConcludeLocked() {
  if (SUCCEEDED(m_error) && !m_writer.Finished()) FinishLocked();
}

REFERENCE_TIME CopyMux::MuxedTime() {
  std::lock_guard guard(m_muxLock);
  REFERENCE_TIME furthest = 0;
  REFERENCE_TIME leastActive = INT64_MAX;
  for (const InputState* state : {&m_video, &m_audio}) {
    if (!state->connected) continue;
    furthest = std::max(furthest, state->reached);
    if (!state->ended) leastActive = std::min(leastActive, state->reached);
  }
  return leastActive == INT64_MAX ? furthest : leastActive;
}

HRESULT CopyMux::Receive(MuxInputPin* pin, IMediaSample* sample) {
  std::lock_guard guard(m_muxLock);
  if (FAILED(m_error)) return m_error;
  InputState& state = pin == m_pVideo ? m_video : m_audio;
  if (!state.connected || state.ended || m_writer.Finished()) return S_FALSE;
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  // Copied streams keep the recording's times; a sample without them cannot be placed.
  if (FAILED(sample->GetTime(&start, &stop))) return S_OK;
  state.reached = std::max(state.reached, std::max(start, stop));
  const HRESULT hr = pin == m_pVideo ? ReceiveVideoLocked(sample, start, stop)
                                     : ReceiveAudioLocked(sample, start);
  return FAILED(hr) ? FailLocked(hr, "Copy mux: a packet could not be written\n") : S_OK;
}

HRESULT CopyMux::ReceiveVideoLocked(IMediaSample* sample, REFERENCE_TIME start, REFERENCE_TIME stop) {
  BYTE* data = nullptr;
  if (FAILED(sample->GetPointer(&data))) return E_POINTER;
  const auto block = recorder::FrameBlockOfVideoSample(
      recorder::ByteSpan(data, static_cast<size_t>(sample->GetActualDataLength())));
  if (!block) return S_OK;  // a sample whose frame cannot be found is left out
  const std::span<const uint8_t> frame(block->payload, block->PayloadSize());
  const bool key = IsKeyFrame(m_video.format.videoCodec, frame);
  if (!m_writer.Begun()) {
    // Nothing plays before the first key frame, so the output starts there.
    if (!key) return S_OK;
    m_origin = start;
    const HRESULT hr = BeginLocked(DecoderConfiguration(m_video.format.videoCodec, frame));
    if (FAILED(hr)) return hr;
  }
  if (start < m_origin) return S_OK;
  const REFERENCE_TIME duration = stop > start ? stop - start : m_video.format.frameDuration;
  return m_writer.Write(m_video.stream, frame, start - m_origin, duration, key);
}

HRESULT CopyMux::ReceiveAudioLocked(IMediaSample* sample, REFERENCE_TIME start) {
  BYTE* data = nullptr;
  if (FAILED(sample->GetPointer(&data))) return E_POINTER;
  const auto length = static_cast<size_t>(std::max<LONG>(0, sample->GetActualDataLength()));
  if (m_audioStart < 0) m_audioStart = start;
  const CopyStreamFormat& format = m_audio.format;
  const int64_t position = ToRate(start - m_audioStart, format.input == CopyInput::Pcm
                                                            ? AacEncoder::kOutputRate
                                                            : format.sampleRate);
  std::vector<EncodedPacket> packets;
  if (format.input == CopyInput::Pcm) {
    const size_t frameBytes = sizeof(int16_t) * static_cast<size_t>(format.channels);
    const HRESULT hr = m_aac.Push(reinterpret_cast<const int16_t*>(data),
                                  static_cast<int>(length / frameBytes), position, packets);
    if (FAILED(hr)) return hr;
  } else {
    if (length <= recorder::kAudioSamplePrefixSize) return S_OK;
    EncodedPacket packet;
    packet.data.assign(data + recorder::kAudioSamplePrefixSize, data + length);
    packet.pts = position;
    packet.duration = static_cast<int64_t>(packet.data.size()) / format.channels;
    packets.push_back(std::move(packet));
  }
  // Without video the sound itself starts the output.
  if (!m_writer.Begun() && !m_video.connected) {
    m_origin = m_audioStart;
    const HRESULT hr = BeginLocked({});
    if (FAILED(hr)) return hr;
  }
  return WriteAudioLocked(packets);
}

HRESULT CopyMux::BeginLocked(std::span<const uint8_t> videoConfig) {
  if (m_video.connected) m_video.stream = m_writer.AddVideo(m_video.format, videoConfig);
  if (m_audio.connected) {
    m_audio.stream =
        m_audio.format.input == CopyInput::Pcm
            ? m_writer.AddAac(AacEncoder::kOutputRate,
                              std::span<const uint8_t>(m_aac.Extradata(),
                                                       static_cast<size_t>(m_aac.ExtradataSize())))
            : m_writer.AddG711(m_audio.format);
  }
  if ((m_video.connected && m_video.stream < 0) || (m_audio.connected && m_audio.stream < 0))
    return E_FAIL;
  const HRESULT hr = m_writer.Begin();
  if (FAILED(hr)) return hr;
  std::vector<EncodedPacket> held;
  held.swap(m_pending);
  return WriteAudioLocked(held);
}

HRESULT CopyMux::WriteAudioLocked(std::vector<EncodedPacket>& packets) {
  if (!m_writer.Begun()) {
    for (EncodedPacket& packet : packets) m_pending.push_back(std::move(packet));
    if (m_pending.size() > kMaxPendingPackets)
      m_pending.erase(m_pending.begin(),
                      m_pending.begin() + static_cast<long>(m_pending.size() - kMaxPendingPackets));
    return S_OK;
  }
  if (m_audio.stream < 0) return S_OK;
  const int rate =
      m_audio.format.input == CopyInput::Pcm ? AacEncoder::kOutputRate : m_audio.format.sampleRate;
  // Packet times count from the first sound; the output counts from its origin.
  const int64_t shift = ToRate(m_audioStart - m_origin, rate);
  for (const EncodedPacket& packet : packets) {
    // Sound before the first key frame is dropped; the encoder's priming (before its own 0)
    // is kept, the container's edit list hides it.
    const int64_t pts = packet.pts + shift;
    if (pts < 0 && (m_audio.format.input != CopyInput::Pcm || packet.pts >= 0)) continue;
    const HRESULT hr = m_writer.Write(m_audio.stream, packet.data, pts, packet.duration, true);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT CopyMux::FinishLocked() {
  std::vector<EncodedPacket> rest;
  HRESULT hr = S_OK;
  if (m_audio.connected && m_audio.format.input == CopyInput::Pcm && m_audioStart >= 0)
    hr = m_aac.Flush(rest);
  // A run that never reached a key frame still leaves a valid file of its sound, if any.
  if (SUCCEEDED(hr) && !m_writer.Begun()) {
    if (m_origin < 0) m_origin = std::max<REFERENCE_TIME>(m_audioStart, 0);
    hr = BeginLocked({});
  }
  if (SUCCEEDED(hr)) hr = WriteAudioLocked(rest);
  if (SUCCEEDED(hr)) hr = m_writer.Finish();
  if (FAILED(hr)) {
    m_error = hr;
    OutputDebugStringA("Copy mux: the file could not be finished\n");
  }
  return hr;
}

HRESULT CopyMux::EndOfStream(MuxInputPin* pin) {
  {
    std::lock_guard guard(m_muxLock);
    InputState& state = pin == m_pVideo ? m_video : m_audio;
    if (!state.connected || state.ended) return S_OK;
    state.ended = true;
    const bool allEnded = (!m_video.connected || m_video.ended) && (!m_audio.connected || m_audio.ended);
    if (!allEnded || m_writer.Finished()) return S_OK;
    if (SUCCEEDED(m_error) && FAILED(FinishLocked())) NotifyEvent(EC_ERRORABORT, m_error, 0);
    // A file without its trailer is no complete file: the abort already went to the graph, and
    // an end of stream would have the sink report completion after it.
    if (FAILED(m_error)) return m_error;
  }
  return Output()->DeliverEndOfStream();
}
