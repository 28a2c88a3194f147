#include "AsfOutput.h"

#include <algorithm>
#include <numeric>

HRESULT AsfOutput::OpenChannel(const StreamPlan& plan, const OwnedMediaType& input,
                               Channel* channel) {
  const bool global = muxer_.NeedsGlobalHeaders();
  if (plan.IsVideo()) {
    VideoSettings settings;
    if (HRESULT hr = MakeVideoSettings(plan, &settings); FAILED(hr)) return hr;
    const VIDEOINFOHEADER* info = input.FormatAs<VIDEOINFOHEADER>();
    PictureLayout layout;
    if (!info) return NS_E_INVALID_INPUT_FORMAT;
    if (HRESULT hr = MakePictureLayout(input.Get().subtype, info->bmiHeader, &layout); FAILED(hr))
      return hr;
    channel->video = std::make_unique<VideoEncoder>();
    channel->nominal_bit_rate = settings.bit_rate;
    return channel->video->Open(settings, layout, global);
  }
  AudioSettings settings;
  if (HRESULT hr = MakeAudioSettings(plan, &settings); FAILED(hr)) return hr;
  const WAVEFORMATEX* wave = input.FormatAs<WAVEFORMATEX>();
  if (!wave) return NS_E_INVALID_INPUT_FORMAT;
  channel->audio = std::make_unique<AudioEncoder>();
  channel->nominal_bit_rate = settings.bit_rate;
  return channel->audio->Open(settings, *wave, global);
}

const AVCodecContext* AsfOutput::EncoderOf(const Channel& channel) {
  return channel.video ? channel.video->Context() : channel.audio->Context();
}

HRESULT AsfOutput::Open(const std::string& path, const std::vector<StreamPlan>& streams,
                        const std::vector<OwnedMediaType>& input_types,
                        const AsfMuxer::Metadata& metadata) {
  if (streams.empty() || streams.size() != input_types.size()) return NS_E_INVALID_REQUEST;
  if (HRESULT hr = muxer_.Open(path); FAILED(hr)) return hr;
  channels_.clear();
  channels_.resize(streams.size());
  for (size_t i = 0; i < streams.size(); ++i)
    if (HRESULT hr = OpenChannel(streams[i], input_types[i], &channels_[i]); FAILED(hr)) return hr;
  std::vector<size_t> order(streams.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(),
            [&](size_t a, size_t b) { return streams[a].number < streams[b].number; });
  for (size_t i : order) {
    Channel& channel = channels_[i];
    if (HRESULT hr = muxer_.AddStream(EncoderOf(channel), channel.nominal_bit_rate, &channel.stream);
        FAILED(hr))
      return hr;
  }
  return muxer_.Start(metadata);
}

HRESULT AsfOutput::Write(DWORD input, REFERENCE_TIME time, DWORD flags, const BYTE* data,
                         size_t size, INSSBuffer* owner) {
  if (input >= channels_.size()) return E_INVALIDARG;
  Channel& channel = channels_[input];
  if (channel.video)
    return channel.video->Encode({data, size, owner}, time, muxer_, channel.stream);
  return channel.audio->Encode(data, size, time, flags, muxer_, channel.stream);
}

HRESULT AsfOutput::Finish() {
  HRESULT result = S_OK;
  for (Channel& channel : channels_) {
    const HRESULT hr = channel.video ? channel.video->Finish(muxer_, channel.stream)
                                     : channel.audio->Finish(muxer_, channel.stream);
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
  }
  const HRESULT hr = muxer_.Finish();
  channels_.clear();
  return SUCCEEDED(result) ? hr : result;
}
