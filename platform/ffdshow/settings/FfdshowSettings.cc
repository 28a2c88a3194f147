#include "FfdshowSettings.h"

#include <algorithm>

#include "MediaGuids.h"
#include "Registry.h"

namespace {

constexpr size_t kFourCCLength = 4;

DWORD ReadDword(const char* key, const char* name, DWORD fallback) {
  return reg::GetDword(HKEY_CURRENT_USER, key, name).value_or(fallback);
}

HRESULT Result(LONG error) { return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(error); }

}  // namespace

VideoEncoderSettings VideoEncoderSettings::Load() {
  VideoEncoderSettings s;
  s.bitRateKbps = std::clamp(ReadDword(kVideoEncoderKey, kBitRateValue, kDefaultBitRate),
                             kMinBitRate, kMaxBitRate);
  const DWORD quantizer = ReadDword(kVideoEncoderKey, kQuantizerValue, 0);
  s.quantizer = quantizer == 0 ? 0 : std::clamp(quantizer, kMinQuantizer, kMaxQuantizer);
  s.keyInterval = std::clamp<DWORD>(
      ReadDword(kVideoEncoderKey, kKeyIntervalValue, kDefaultKeyInterval), 1, kMaxKeyInterval);
  s.threads = std::min(ReadDword(kVideoEncoderKey, kThreadsValue, s.threads), kMaxThreads);
  const auto fourCC = reg::GetString(HKEY_CURRENT_USER, kVideoEncoderKey, kFourCCValue);
  if (fourCC && fourCC->size() == kFourCCLength) s.fourCC = *fourCC;
  return s;
}

HRESULT VideoEncoderSettings::Save() const {
  LONG error = reg::SetDword(HKEY_CURRENT_USER, kVideoEncoderKey, kBitRateValue, bitRateKbps);
  if (error == ERROR_SUCCESS)
    error = reg::SetDword(HKEY_CURRENT_USER, kVideoEncoderKey, kQuantizerValue, quantizer);
  if (error == ERROR_SUCCESS)
    error = reg::SetDword(HKEY_CURRENT_USER, kVideoEncoderKey, kKeyIntervalValue, keyInterval);
  if (error == ERROR_SUCCESS)
    error = reg::SetDword(HKEY_CURRENT_USER, kVideoEncoderKey, kThreadsValue, threads);
  if (error == ERROR_SUCCESS)
    error = reg::SetString(HKEY_CURRENT_USER, kVideoEncoderKey, kFourCCValue, fourCC);
  return Result(error);
}

DWORD VideoEncoderSettings::FourCCCode() const {
  const std::string code = fourCC.size() == kFourCCLength ? fourCC : VideoEncoderSettings{}.fourCC;
  return MakeFourCC(code[0], code[1], code[2], code[3]);
}

AudioProcessorSettings AudioProcessorSettings::Load() {
  AudioProcessorSettings s;
  const DWORD rate = ReadDword(kAudioProcessorKey, kResampleRateValue, 0);
  s.resampleRate = rate == 0 ? 0 : std::clamp(rate, kMinRate, kMaxRate);
  return s;
}

HRESULT AudioProcessorSettings::Save() const {
  return Result(reg::SetDword(HKEY_CURRENT_USER, kAudioProcessorKey, kResampleRateValue,
                              resampleRate));
}
