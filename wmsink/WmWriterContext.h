// The ASF writer's writer context: for each set of output parameters a new writer, a profile
// with one video stream (number 2) and optionally one audio stream (number 1), and the
// writer inputs that feed them. Building it talks only to the Windows Media Format SDK.
//
// Values fixed by the design: video "Video Stream" / "Video" at the configured bit rate
// (1,000,000 in VBR mode, where the configured value is the quality), audio "Audio Stream" /
// "Audio" declared at 16,000 bit/s, both with a 3000 ms buffer window; the version 9 video
// codec is preferred over version 8; encoder complexity 3, quality 100, a key frame at least
// every 2 seconds.
//
// Not thread-safe: the filter serialises Build against writing with its own lock.
#pragma once

#include "ComPtr.h"
#include "MediaTypeBlock.h"
#include "Wmsdk.h"
#include "wmsink/WmSinkConfig.h"

class WmWriterContext {
 public:
  WmWriterContext() = default;
  WmWriterContext(const WmWriterContext&) = delete;
  WmWriterContext& operator=(const WmWriterContext&) = delete;

  // Stores the parameters and builds a new writer and profile. Failures are not reported:
  // they leave the context without a usable writer (Writer() null, or inputs not mapped).
  void Build(const WmSinkConfig& config);

  // The writer of the last build, with its header interface; null if the build failed
  // before the writer was complete.
  IWMWriter* Writer() const { return writer_; }
  IWMHeaderInfo* HeaderInfo() const { return header_info_; }
  IWMProfile* Profile() const { return profile_; }
  DWORD VideoInput() const { return video_input_; }
  DWORD AudioInput() const { return audio_input_; }
  // The status with which the last profile construction ended.
  HRESULT ProfileStatus() const { return profile_status_; }

  LONG Width() const { return width_; }
  LONG Height() const { return height_; }
  LONG FrameRate() const { return frame_rate_; }
  LONG BitRate() const { return bit_rate_; }
  LONG VbrQuality() const { return vbr_quality_; }
  bool AudioEnabled() const { return audio_enabled_; }
  bool ConstantBitRate() const { return constant_bit_rate_; }

 private:
  HRESULT CreateWriter();
  HRESULT BuildProfile();
  HRESULT AddVideoStream();
  HRESULT AddAudioStream();
  void AdjustVideoFormat(VIDEOINFOHEADER* info);
  void SetEncoderProperties(IWMStreamConfig* stream);
  void MapInputs();
  // Codec format search: the first format of the first codec of `major_type` offering
  // `subtype`; for audio, the first of that codec's formats matching `wanted`.
  bool FindCodecFormat(REFGUID major_type, REFGUID subtype, const WAVEFORMATEX* wanted,
                       MediaTypeBlock* found);
  bool FindAudioFormat(IWMCodecInfo* info, DWORD codec, DWORD formats,
                       const WAVEFORMATEX& wanted, MediaTypeBlock* found);

  LONG width_ = 0;
  LONG height_ = 0;
  LONG frame_rate_ = 0;
  LONG bit_rate_ = 0;
  LONG vbr_quality_ = 0;
  bool audio_enabled_ = false;
  bool constant_bit_rate_ = false;

  ComPtr<IWMProfileManager> profile_manager_;  // created once, kept
  ComPtr<IWMProfile> profile_;
  ComPtr<IWMWriter> writer_;
  ComPtr<IWMWriterAdvanced> writer_advanced_;
  ComPtr<IWMHeaderInfo> header_info_;
  DWORD audio_input_ = 0;
  DWORD video_input_ = 0;
  HRESULT profile_status_ = S_OK;
};
