// The writer context's profile: stream numbers, names, rates, buffer windows, encoder
// settings and the codec fallback, read back through the format SDK's own interfaces.
#include "WmWriterContext.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DebugOutput.h"
#include "MediaTypeBlock.h"

namespace {

WmSinkConfig Config(int32_t frame_rate, int32_t bit_rate, bool audio, bool cbr) {
  return WmSinkConfig{704, 576, frame_rate, bit_rate, audio ? TRUE : FALSE, cbr ? TRUE : FALSE};
}

struct StreamFacts {
  WORD number = 0;
  GUID type{};
  std::u16string name;
  std::u16string connection;
  DWORD bitrate = 0;
  DWORD window = 0;
  MediaTypeBlock media;
};

std::u16string Text(IWMStreamConfig* s, HRESULT (IWMStreamConfig::*get)(WCHAR*, WORD*)) {
  WORD chars = 0;
  EXPECT_EQ((s->*get)(nullptr, &chars), S_OK);
  std::u16string text(chars, u'\0');
  EXPECT_EQ((s->*get)(text.data(), &chars), S_OK);
  text.pop_back();
  return text;
}

StreamFacts Facts(IWMProfile* profile, DWORD index, ComPtr<IWMStreamConfig>* keep = nullptr) {
  ComPtr<IWMStreamConfig> stream;
  EXPECT_EQ(profile->GetStream(index, stream.ReleaseAndGetAddressOf()), S_OK);
  StreamFacts facts;
  stream->GetStreamNumber(&facts.number);
  stream->GetStreamType(&facts.type);
  facts.name = Text(stream, &IWMStreamConfig::GetStreamName);
  facts.connection = Text(stream, &IWMStreamConfig::GetConnectionName);
  stream->GetBitrate(&facts.bitrate);
  stream->GetBufferWindow(&facts.window);
  EXPECT_EQ(facts.media.ReadFrom(stream.As<IWMMediaProps>()), S_OK);
  if (keep) *keep = stream;
  return facts;
}

DWORD Property(IWMStreamConfig* stream, const char16_t* name, WMT_ATTR_DATATYPE* type) {
  auto vault = ComPtr<IWMStreamConfig>(stream).As<IWMPropertyVault>();
  DWORD value = 0, size = sizeof value;
  EXPECT_EQ(vault->GetPropertyByName(name, type, reinterpret_cast<BYTE*>(&value), &size), S_OK)
      << std::string(name, name + std::char_traits<char16_t>::length(name));
  return value;
}

class DebugTexts {
 public:
  DebugTexts() {
    SetDebugCapture([this](std::string_view text) { texts.emplace_back(text); });
  }
  ~DebugTexts() { SetDebugCapture({}); }
  std::vector<std::string> texts;
};

TEST(WmWriterContextTest, CbrWithAudioHasBothStreamsAsDesigned) {
  DebugTexts debug;
  WmWriterContext context;
  context.Build(Config(25, 1000000, true, true));
  ASSERT_TRUE(context.Writer());
  ASSERT_EQ(context.ProfileStatus(), S_OK);
  DWORD count = 0;
  ASSERT_EQ(context.Profile()->GetStreamCount(&count), S_OK);
  ASSERT_EQ(count, 2u);

  StreamFacts video = Facts(context.Profile(), 0);
  EXPECT_EQ(video.number, 2);
  EXPECT_EQ(video.type, WMMEDIATYPE_Video);
  EXPECT_EQ(video.name, u"Video Stream");
  EXPECT_EQ(video.connection, u"Video");
  EXPECT_EQ(video.bitrate, 1000000u);
  EXPECT_EQ(video.window, 3000u);
  const VIDEOINFOHEADER* info = video.media.FormatAs<VIDEOINFOHEADER>();
  ASSERT_TRUE(info);
  EXPECT_EQ(video.media.Type()->subtype, WMMEDIASUBTYPE_WMV2);
  EXPECT_EQ(info->AvgTimePerFrame, 400000);
  EXPECT_EQ(info->dwBitRate, 1000000u);
  EXPECT_EQ(info->bmiHeader.biWidth, 704);
  EXPECT_EQ(info->bmiHeader.biHeight, 576);

  StreamFacts audio = Facts(context.Profile(), 1);
  EXPECT_EQ(audio.number, 1);
  EXPECT_EQ(audio.name, u"Audio Stream");
  EXPECT_EQ(audio.connection, u"Audio");
  EXPECT_EQ(audio.bitrate, 16000u);
  EXPECT_EQ(audio.window, 3000u);
  const WAVEFORMATEX* wave = audio.media.FormatAs<WAVEFORMATEX>();
  ASSERT_TRUE(wave);
  EXPECT_EQ(wave->wFormatTag, 0x0161);
  EXPECT_EQ(wave->nSamplesPerSec, 16000u);
  EXPECT_EQ(wave->nChannels, 1);
  EXPECT_EQ(wave->wBitsPerSample, 16);

  // Inputs follow the profile's stream order and are mapped by connection name.
  EXPECT_EQ(context.VideoInput(), 0u);
  EXPECT_EQ(context.AudioInput(), 1u);
  // Only the version 8 video codec exists here: the version 9 message, not the version 8 one.
  EXPECT_EQ(debug.texts, std::vector<std::string>{"Windows Media Video 9 codec is not available!"});
}

TEST(WmWriterContextTest, VbrUsesQualityAndFixedNominalRate) {
  WmWriterContext context;
  context.Build(Config(25, 70, true, false));
  ASSERT_EQ(context.ProfileStatus(), S_OK);
  EXPECT_EQ(context.BitRate(), 1000000);
  EXPECT_EQ(context.VbrQuality(), 70);
  ComPtr<IWMStreamConfig> stream;
  StreamFacts video = Facts(context.Profile(), 0, &stream);
  EXPECT_EQ(video.bitrate, 1000000u);
  EXPECT_EQ(video.media.FormatAs<VIDEOINFOHEADER>()->dwBitRate, 1000000u);

  WMT_ATTR_DATATYPE type{};
  EXPECT_EQ(Property(stream, u"_COMPLEXITYEX", &type), 3u);
  EXPECT_EQ(type, WMT_TYPE_WORD);
  EXPECT_EQ(Property(stream, u"_VBRENABLED", &type), 1u);
  EXPECT_EQ(type, WMT_TYPE_BOOL);
  EXPECT_EQ(Property(stream, u"_VBRQUALITY", &type), 70u);
  EXPECT_EQ(Property(stream, u"_RMAX", &type), 0u);
  EXPECT_EQ(Property(stream, u"_BMAX", &type), 0u);

  auto video_props = stream.As<IWMVideoMediaProps>();
  DWORD quality = 0;
  LONGLONG spacing = 0;
  video_props->GetQuality(&quality);
  video_props->GetMaxKeyFrameSpacing(&spacing);
  EXPECT_EQ(quality, 100u);
  EXPECT_EQ(spacing, 20000000);
}

TEST(WmWriterContextTest, CbrSetsNoVbrProperties) {
  WmWriterContext context;
  context.Build(Config(25, 1000000, false, true));
  ComPtr<IWMStreamConfig> stream;
  Facts(context.Profile(), 0, &stream);
  auto vault = stream.As<IWMPropertyVault>();
  DWORD size = 0;
  WMT_ATTR_DATATYPE type{};
  EXPECT_TRUE(FAILED(vault->GetPropertyByName(u"_VBRENABLED", &type, nullptr, &size)));
}

TEST(WmWriterContextTest, AudioOffGivesVideoStreamOnly) {
  WmWriterContext context;
  context.Build(Config(30, 500000, false, true));
  ASSERT_EQ(context.ProfileStatus(), S_OK);
  DWORD count = 0;
  context.Profile()->GetStreamCount(&count);
  ASSERT_EQ(count, 1u);
  StreamFacts video = Facts(context.Profile(), 0);
  EXPECT_EQ(video.number, 2);
  EXPECT_EQ(video.media.FormatAs<VIDEOINFOHEADER>()->AvgTimePerFrame, 333333);
  EXPECT_EQ(context.AudioInput(), 0u);
  EXPECT_EQ(context.VideoInput(), 0u);
  DWORD inputs = 0;
  context.Writer()->GetInputCount(&inputs);
  EXPECT_EQ(inputs, 1u);
}

TEST(WmWriterContextTest, ZeroFrameRateLeavesNoWriter) {
  WmWriterContext context;
  context.Build(Config(25, 1000000, true, true));
  ASSERT_TRUE(context.Writer());
  context.Build(Config(0, 1000000, true, true));
  EXPECT_FALSE(context.Writer());
}

TEST(WmWriterContextTest, RebuildReplacesWriterAndProfile) {
  WmWriterContext context;
  context.Build(Config(25, 70, true, false));
  ComPtr<IWMWriter> first = context.Writer();
  context.Build(Config(25, 2000000, true, true));
  EXPECT_NE(context.Writer(), first.Get());
  EXPECT_EQ(context.BitRate(), 2000000);
  StreamFacts video = Facts(context.Profile(), 0);
  EXPECT_EQ(video.bitrate, 2000000u);
}

}  // namespace
