// How stream settings become encoder parameters.
#include "EncoderSettings.h"

#include <gtest/gtest.h>

namespace {

StreamPlan VideoPlan(LONG width, LONG height, REFERENCE_TIME frame_time, DWORD bitrate) {
  VIDEOINFOHEADER info{};
  info.AvgTimePerFrame = frame_time;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  WM_MEDIA_TYPE type{};
  type.majortype = WMMEDIATYPE_Video;
  type.subtype = WMMEDIASUBTYPE_WMV2;
  type.formattype = WMFORMAT_VideoInfo;
  type.cbFormat = sizeof info;
  type.pbFormat = reinterpret_cast<BYTE*>(&info);
  StreamPlan plan;
  plan.type = WMMEDIATYPE_Video;
  plan.media_type.Assign(type);
  plan.bitrate = bitrate;
  plan.buffer_window = 3000;
  return plan;
}

void SetNumber(StreamPlan& plan, const char16_t* name, WMT_ATTR_DATATYPE type, DWORD value,
               DWORD size = 4) {
  ASSERT_EQ(plan.properties.Set(name, type, reinterpret_cast<const BYTE*>(&value), size), S_OK);
}

TEST(EncoderSettingsTest, CbrKeepsTheRateWithinTheBufferWindow) {
  StreamPlan plan = VideoPlan(704, 576, 400000, 1000000);
  plan.key_frame_spacing = 20000000;
  VideoSettings s;
  ASSERT_EQ(MakeVideoSettings(plan, &s), S_OK);
  EXPECT_EQ(s.codec, AV_CODEC_ID_WMV2);
  EXPECT_EQ(s.width, 704);
  EXPECT_EQ(s.height, 576);
  EXPECT_EQ(s.frame_rate.num, 25);
  EXPECT_EQ(s.frame_rate.den, 1);
  EXPECT_FALSE(s.constant_quality);
  EXPECT_EQ(s.bit_rate, 1000000);
  EXPECT_EQ(s.rate_tolerance_bits, 3000000);
  EXPECT_EQ(s.max_rate, 0);
  EXPECT_EQ(s.group_length, 50);  // two seconds at 25 frames per second
}

TEST(EncoderSettingsTest, FrameTimesBecomeSmallFrameRates) {
  StreamPlan plan = VideoPlan(640, -480, 333333, 500000);
  VideoSettings s;
  ASSERT_EQ(MakeVideoSettings(plan, &s), S_OK);
  EXPECT_EQ(s.frame_rate.num, 30);
  EXPECT_EQ(s.frame_rate.den, 1);
  EXPECT_EQ(s.height, 480);
}

TEST(EncoderSettingsTest, VbrQualitySpreadsOverTheQuantiserRange) {
  EXPECT_EQ(QuantiserForQuality(100), kBestQuantiser);
  EXPECT_EQ(QuantiserForQuality(1), kWorstQuantiser);
  EXPECT_EQ(QuantiserForQuality(0), kWorstQuantiser);
  EXPECT_EQ(QuantiserForQuality(1000), kBestQuantiser);
  EXPECT_LT(QuantiserForQuality(70), QuantiserForQuality(50));

  StreamPlan plan = VideoPlan(704, 576, 400000, 1000000);
  SetNumber(plan, u"_VBRENABLED", WMT_TYPE_BOOL, 1);
  SetNumber(plan, u"_VBRQUALITY", WMT_TYPE_DWORD, 70);
  SetNumber(plan, u"_RMAX", WMT_TYPE_DWORD, 0);
  SetNumber(plan, u"_BMAX", WMT_TYPE_DWORD, 0);
  VideoSettings s;
  ASSERT_EQ(MakeVideoSettings(plan, &s), S_OK);
  EXPECT_TRUE(s.constant_quality);
  EXPECT_EQ(s.quantiser, QuantiserForQuality(70));
  EXPECT_EQ(s.max_rate, 0);

  SetNumber(plan, u"_RMAX", WMT_TYPE_DWORD, 2000000);
  SetNumber(plan, u"_BMAX", WMT_TYPE_DWORD, 1500);
  ASSERT_EQ(MakeVideoSettings(plan, &s), S_OK);
  EXPECT_EQ(s.max_rate, 2000000);
  EXPECT_EQ(s.buffer_bits, 3000000);
}

TEST(EncoderSettingsTest, ComplexityPicksTheSearchWhateverSizeItWasSetWith) {
  StreamPlan plan = VideoPlan(704, 576, 400000, 1000000);
  VideoSettings s;
  ASSERT_EQ(MakeVideoSettings(plan, &s), S_OK);
  EXPECT_EQ(s.motion_search, MotionSearch::kStandard);  // nothing set
  SetNumber(plan, u"_COMPLEXITYEX", WMT_TYPE_WORD, 0, 2);
  ASSERT_EQ(MakeVideoSettings(plan, &s), S_OK);
  EXPECT_EQ(s.motion_search, MotionSearch::kNone);
  SetNumber(plan, u"_COMPLEXITYEX", WMT_TYPE_WORD, 3, 4);
  ASSERT_EQ(MakeVideoSettings(plan, &s), S_OK);
  EXPECT_EQ(s.motion_search, MotionSearch::kStandard);
  SetNumber(plan, u"_COMPLEXITYEX", WMT_TYPE_DWORD, 4);
  ASSERT_EQ(MakeVideoSettings(plan, &s), S_OK);
  EXPECT_EQ(s.motion_search, MotionSearch::kRateDistortion);
}

TEST(EncoderSettingsTest, RefusesStreamsTheEncoderCannotTake) {
  VideoSettings s;
  EXPECT_EQ(MakeVideoSettings(VideoPlan(703, 576, 400000, 1000000), &s), NS_E_INVALID_STREAM);
  EXPECT_EQ(MakeVideoSettings(VideoPlan(0, 576, 400000, 1000000), &s), NS_E_INVALID_STREAM);
  EXPECT_EQ(MakeVideoSettings(VideoPlan(704, 576, 0, 1000000), &s), NS_E_INVALID_STREAM);
  EXPECT_EQ(MakeVideoSettings(VideoPlan(704, 576, 400000, 0), &s), NS_E_INVALID_STREAM);
  StreamPlan wmv3 = VideoPlan(704, 576, 400000, 1000000);
  WM_MEDIA_TYPE type = wmv3.media_type.Get();
  type.subtype = WMMEDIASUBTYPE_WMV3;
  wmv3.media_type.Assign(type);
  EXPECT_EQ(MakeVideoSettings(wmv3, &s), NS_E_VIDEO_CODEC_NOT_INSTALLED);
}

TEST(EncoderSettingsTest, AudioRunsAtTheFormatsOwnRate) {
  WAVEFORMATEX wave{};
  wave.wFormatTag = 0x0161;
  wave.nChannels = 1;
  wave.nSamplesPerSec = 16000;
  wave.nAvgBytesPerSec = 3000;
  wave.wBitsPerSample = 16;
  WM_MEDIA_TYPE type{};
  type.majortype = WMMEDIATYPE_Audio;
  type.subtype = WMMEDIASUBTYPE_WMAudioV8;
  type.formattype = WMFORMAT_WaveFormatEx;
  type.cbFormat = sizeof wave;
  type.pbFormat = reinterpret_cast<BYTE*>(&wave);
  StreamPlan plan;
  plan.type = WMMEDIATYPE_Audio;
  plan.bitrate = 16000;
  plan.media_type.Assign(type);
  AudioSettings s;
  ASSERT_EQ(MakeAudioSettings(plan, &s), S_OK);
  EXPECT_EQ(s.codec, AV_CODEC_ID_WMAV2);
  EXPECT_EQ(s.sample_rate, 16000);
  EXPECT_EQ(s.channels, 1);
  EXPECT_EQ(s.bit_rate, 24000);
}

}  // namespace
