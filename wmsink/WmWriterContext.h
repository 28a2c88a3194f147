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
// Writing: the context also keeps the output file name, the audio and video times and the
// count of video samples written. Video samples keep their own times; audio samples are laid
// end to end from time 0 by their durations.
//
// Locking: the context's lock guards every member and every call on the writer. Configure,
// SetFileName, FileName, ConfigureInput and the writing calls take it. Build and the
// accessors of its results do not: they serve the configuring thread (Configure is Build
// under the lock). The times and the frame count are atomic, so the throttle checks and
// GetWrittenFrames read them without the lock.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "ComPtr.h"
#include "MediaTypeBlock.h"
#include "Wmsdk.h"
#include "wmsink/WmSinkConfig.h"

enum class SinkInput { kVideo, kAudio };

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

  // --- Writing ---

  // Build under the lock.
  void Configure(const WmSinkConfig& config);
  // The name the next StartWriting uses.
  void SetFileName(const std::u16string& name);
  std::u16string FileName();
  // Configures the writer input behind `input` for the connection's type: the first format
  // the writer offers with the same subtype, with the head of the connection's format block
  // (its VIDEOINFOHEADER, or its WAVEFORMATEX and the two bytes after it) copied over.
  // E_FAIL without a writer; NS_E_INVALID_INPUT_FORMAT when no format has the subtype.
  HRESULT ConfigureInput(SinkInput input, const GUID& subtype, const BYTE* format,
                         ULONG format_size);
  // Resets the times, names the file, sets the title and description, begins writing.
  HRESULT StartWriting();
  // Ends writing, if writing began: the writer's result, which says whether the file was
  // finished whole (S_OK when nothing was being written).
  HRESULT StopWriting();
  // The writing calls answer VFW_E_WRONG_STATE outside StartWriting .. StopWriting.
  // One video sample at its start time; counted once it reaches the writer, also when the
  // writer refuses it.
  HRESULT WriteVideo(const BYTE* data, LONG length, REFERENCE_TIME start, DWORD flags);
  // The same for a picture already in a buffer the writer can take as it is (no copy).
  HRESULT WriteVideoBuffer(INSSBuffer* buffer, REFERENCE_TIME start, DWORD flags);
  // One audio sample at the running audio time, which then advances by `duration`.
  HRESULT WriteAudio(const BYTE* data, LONG length, REFERENCE_TIME duration, DWORD flags);
  // Whether one stream has run more than the throttle threshold ahead of the other.
  bool VideoAhead() const { return video_time_ - audio_time_ > kThrottleThreshold; }
  bool AudioAhead() const { return audio_time_ - video_time_ > kThrottleThreshold; }
  REFERENCE_TIME AudioTime() const { return audio_time_; }
  REFERENCE_TIME VideoTime() const { return video_time_; }
  DWORD WrittenFrames() const { return written_frames_; }

  static constexpr REFERENCE_TIME kThrottleThreshold = 10000000;  // one second
  // The longest file name kept, terminating null included.
  static constexpr size_t kMaxFileName = 260;

  LONG Width() const { return width_; }
  LONG Height() const { return height_; }
  LONG FrameRate() const { return frame_rate_; }
  LONG BitRate() const { return bit_rate_; }
  LONG VbrQuality() const { return vbr_quality_; }
  bool AudioEnabled() const { return audio_enabled_; }
  bool ConstantBitRate() const { return constant_bit_rate_; }

 private:
  HRESULT CreateWriter();
  // Hands one video buffer to the writer and counts it (lock_ held).
  HRESULT WriteVideoLocked(INSSBuffer* buffer, REFERENCE_TIME start, DWORD flags);
  // A writer buffer holding a copy of `data`.
  HRESULT FillBuffer(const BYTE* data, LONG length, ComPtr<INSSBuffer>* buffer);
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

  std::mutex lock_;  // see the class comment
  std::u16string file_name_;
  bool writing_ = false;  // between a successful StartWriting and StopWriting
  std::atomic<REFERENCE_TIME> audio_time_{0};
  std::atomic<REFERENCE_TIME> video_time_{0};
  std::atomic<DWORD> written_frames_{0};  // never reset
};
