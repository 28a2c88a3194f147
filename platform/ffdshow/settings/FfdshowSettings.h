// The settings of the two filters, kept in HKEY_CURRENT_USER under a key of each filter's own
// (the names below). A missing or unreadable value reads as its default; values out of range
// are brought into range, so a damaged registry never stops a conversion. The filters read
// their settings each time they start streaming; the application (and later the property pages)
// writes them.
#pragma once

#include <string>

#include "HResult.h"
#include "WinTypes.h"

inline constexpr char kVideoEncoderKey[] = "Software\\ffdshow video encoder";
inline constexpr char kAudioProcessorKey[] = "Software\\ffdshow Audio Processor";

// Value names (REG_DWORD unless noted).
inline constexpr char kBitRateValue[] = "BitRate";          // kbit/s, used when Quantizer is 0
inline constexpr char kQuantizerValue[] = "Quantizer";      // 2..31 fixed quantiser, 0 = bit rate
inline constexpr char kKeyIntervalValue[] = "KeyInterval";  // frames between key frames
inline constexpr char kThreadsValue[] = "Threads";          // encoder threads, 0 = automatic
inline constexpr char kFourCCValue[] = "FourCC";            // REG_SZ, four characters
inline constexpr char kResampleRateValue[] = "ResampleRate";  // Hz, 0 = pass PCM through

struct VideoEncoderSettings {
  static constexpr DWORD kDefaultBitRate = 1000;
  static constexpr DWORD kMinBitRate = 16;
  static constexpr DWORD kMaxBitRate = 50000;
  static constexpr DWORD kMinQuantizer = 2;
  static constexpr DWORD kMaxQuantizer = 31;
  static constexpr DWORD kDefaultKeyInterval = 250;
  static constexpr DWORD kMaxKeyInterval = 3000;
  static constexpr DWORD kMaxThreads = 16;

  DWORD bitRateKbps = kDefaultBitRate;
  DWORD quantizer = 0;
  DWORD keyInterval = kDefaultKeyInterval;
  DWORD threads = 0;  // automatic: one, beside the decoder's own threads upstream
  std::string fourCC = "FMP4";

  static VideoEncoderSettings Load();
  HRESULT Save() const;
  // The FourCC as the 32-bit code of a BITMAPINFOHEADER.
  DWORD FourCCCode() const;
};

struct AudioProcessorSettings {
  static constexpr DWORD kMinRate = 8000;
  static constexpr DWORD kMaxRate = 192000;

  DWORD resampleRate = 0;

  static AudioProcessorSettings Load();
  HRESULT Save() const;
};
